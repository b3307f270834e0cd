#include "io/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "io/stb_codec.h"

namespace gck {
namespace {

// The decoder takes at most 2^31 - 1 bytes.
constexpr size_t kLargestFile = size_t(INT32_MAX);

// The whole file, read once; false with a message naming it.
bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == ENOENT || errno == EACCES
                 ? "cannot open '" + path + "': no such file, or it is not readable"
                 : "cannot read image '" + path + "': " + std::strerror(errno);
    return false;
  }
  struct stat info;
  size_t used = 0;
  bool large = false;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    large = uint64_t(info.st_size) > kLargestFile;
    if (!large) bytes->resize(size_t(info.st_size) + 1);  // one more, to see the end at once
  }
  int code = 0;
  while (!large) {
    if (used == bytes->size()) {
      large = used > kLargestFile;
      bytes->resize(std::min(std::max<size_t>(2 * used, 1 << 20), kLargestFile + 1));
      continue;
    }
    const ssize_t got = read(fd, bytes->data() + used, bytes->size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      code = got < 0 ? errno : 0;
      break;
    }
    used += size_t(got);
  }
  close(fd);
  bytes->resize(used);
  if (large) *error = "cannot read image '" + path + "': the file is larger than 2^31 bytes";
  if (code != 0) *error = "cannot read image '" + path + "': " + std::strerror(code);
  return !large && code == 0;
}

// The size a PNG file declares when it is larger than the decoder takes: more than 2^30 bytes of
// pixels (every palette entry counted as four) or a side above 2^24.
bool PngTooLarge(const std::vector<uint8_t>& bytes, uint32_t* width, uint32_t* height) {
  const uint8_t* head = bytes.data();
  if (bytes.size() < 26 || std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) != 0 ||
      std::memcmp(head + 12, "IHDR", 4) != 0)
    return false;
  const auto big_endian = [&](int at) {
    return uint32_t(head[at]) << 24 | uint32_t(head[at + 1]) << 16 | uint32_t(head[at + 2]) << 8 |
           head[at + 3];
  };
  *width = big_endian(16);
  *height = big_endian(20);
  const int colour = head[25];
  const uint64_t samples = colour == 3 ? 4 : (colour & 2 ? 3 : 1) + (colour & 4 ? 1 : 0);
  return *width > (1u << 24) || *height > (1u << 24) ||
         uint64_t(*width) * *height * samples > (uint64_t{1} << 30);
}

// The decoder's reason in words: it names an unknown PNG chunk by the chunk's own four bytes, which
// may be anything.
std::string Reason(const char* reason, const char* otherwise) {
  if (!reason) return otherwise;
  if (std::strstr(reason, "PNG chunk not known"))
    return "not a valid PNG (a chunk of unknown type)";
  std::string text = reason;
  for (char& c : text)
    if (c < 0x20 || c > 0x7e) c = '?';
  return text;
}

}  // namespace

bool ReadImage(const std::string& path, Image* image, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, &bytes, error)) return false;
  int width = 0, height = 0, stored = 0;
  const char* reason = nullptr;
  if (!stb::Info(bytes.data(), bytes.size(), &width, &height, &stored, &reason)) {
    *error = "cannot read image '" + path + "': " + Reason(reason, "unknown image type");
    uint32_t png_width = 0, png_height = 0;
    // The decoder refuses a PNG too large for it while reading the header, then tries the other
    // format: its last reason would be "unknown image type".
    if (PngTooLarge(bytes, &png_width, &png_height)) {
      *error = "cannot read image '" + path + "': " + std::to_string(png_width) + " x " +
               std::to_string(png_height) + " pixels exceed the size limit of 2^30 bytes";
    }
    return false;
  }
  // Grey and grey+alpha stay grey; everything else becomes RGB.
  const int channels = stored <= 2 ? 1 : 3;
  std::unique_ptr<uint8_t, void (*)(uint8_t*)> data(
      stb::Load(bytes.data(), bytes.size(), channels, &width, &height, &reason), stb::Free);
  if (!data) {
    *error = "cannot read image '" + path + "': " + Reason(reason, "corrupt file");
    return false;
  }
  bytes = {};  // the encoded file is no longer needed while the image is laid out
  *image = BlankImage(height, width, channels);
  const uint8_t* row_major = data.get();
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
      for (int k = 0; k < channels; ++k)
        image->at(r, c, k) = row_major[(static_cast<size_t>(r) * width + c) * channels + k];
  return true;
}

bool WritePng(std::FILE* file, const Image& image, const Stop& stop) {
  const int channels = image.channels;
  if ((channels != 1 && channels != 3) || image.rows < 1 || image.cols < 1 ||
      image.pixels.size() != image.plane() * size_t(channels))
    return false;
  std::vector<uint8_t> row_major(image.pixels.size());
  for (int r = 0; r < image.rows; ++r) {
    if (r % 64 == 0 && Stopped(stop)) return false;
    for (int c = 0; c < image.cols; ++c)
      for (int k = 0; k < channels; ++k)
        row_major[(static_cast<size_t>(r) * image.cols + c) * channels + k] = image.at(r, c, k);
  }
  const auto put = [](void* to, void* data, int size) {
    std::fwrite(data, 1, static_cast<size_t>(size), static_cast<std::FILE*>(to));
  };
  return stb::EncodePng(put, file, image.cols, image.rows, channels, row_major.data(), stop) &&
         !std::ferror(file);
}

}  // namespace gck
