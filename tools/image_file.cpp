#include "tools/image_file.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace gck {
namespace {

// The size a PNG file declares when it is larger than the reader decodes: more than 2^30 bytes of
// pixels (every palette entry counted as four) or a side above 2^24.
bool PngSize(const std::string& path, uint32_t* width, uint32_t* height) {
  unsigned char head[26] = {};
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(head), sizeof head);
  if (std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0)
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

}  // namespace

bool ReadImage(const std::string& path, Image* image, std::string* error) {
  if (!std::ifstream(path, std::ios::binary)) {
    *error = "cannot open '" + path + "': no such file, or it is not readable";
    return false;
  }
  int width = 0, height = 0, stored = 0;
  if (!stbi_info(path.c_str(), &width, &height, &stored)) {
    const char* reason = stbi_failure_reason();
    *error = "cannot read image '" + path + "': " + (reason ? reason : "unknown format");
    uint32_t png_width = 0, png_height = 0;
    // The reader refuses a PNG too large for it while reading the header, then tries the other
    // formats: its last reason would be "unknown image type".
    if (PngSize(path, &png_width, &png_height)) {
      *error = "cannot read image '" + path + "': " + std::to_string(png_width) + " x " +
               std::to_string(png_height) + " pixels exceed the size limit of 2^30 bytes";
    }
    return false;
  }
  // Grey and grey+alpha stay grey; everything else becomes RGB.
  const int channels = stored <= 2 ? 1 : 3;
  std::unique_ptr<stbi_uc, void (*)(void*)> data(
      stbi_load(path.c_str(), &width, &height, &stored, channels), stbi_image_free);
  if (!data) {
    const char* reason = stbi_failure_reason();
    *error = "cannot read image '" + path + "': " + (reason ? reason : "corrupt file");
    return false;
  }
  *image = BlankImage(height, width, channels);
  const stbi_uc* row_major = data.get();
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
      for (int k = 0; k < channels; ++k)
        image->at(r, c, k) = row_major[(static_cast<size_t>(r) * width + c) * channels + k];
  return true;
}

bool WritePng(std::FILE* file, const Image& image) {
  const int channels = image.channels;
  std::vector<uint8_t> row_major(image.pixels.size());
  for (int r = 0; r < image.rows; ++r)
    for (int c = 0; c < image.cols; ++c)
      for (int k = 0; k < channels; ++k)
        row_major[(static_cast<size_t>(r) * image.cols + c) * channels + k] = image.at(r, c, k);
  const auto put = [](void* to, void* data, int size) {
    std::fwrite(data, 1, static_cast<size_t>(size), static_cast<std::FILE*>(to));
  };
  return stbi_write_png_to_func(put, file, image.cols, image.rows, channels, row_major.data(),
                                image.cols * channels) &&
         !std::ferror(file);
}

}  // namespace gck
