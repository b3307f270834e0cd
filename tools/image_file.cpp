#include "tools/image_file.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <fstream>
#include <memory>
#include <vector>

namespace gck {

bool ReadImage(const std::string& path, Image* image, std::string* error) {
  if (!std::ifstream(path, std::ios::binary)) {
    *error = "cannot open '" + path + "': no such file, or it is not readable";
    return false;
  }
  int width = 0, height = 0, stored = 0;
  if (!stbi_info(path.c_str(), &width, &height, &stored)) {
    const char* reason = stbi_failure_reason();
    *error = "cannot read image '" + path + "': " + (reason ? reason : "unknown format");
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

bool WritePng(const std::string& path, const Image& image, std::string* error) {
  const int channels = image.channels;
  std::vector<uint8_t> row_major(image.pixels.size());
  for (int r = 0; r < image.rows; ++r)
    for (int c = 0; c < image.cols; ++c)
      for (int k = 0; k < channels; ++k)
        row_major[(static_cast<size_t>(r) * image.cols + c) * channels + k] = image.at(r, c, k);
  if (!stbi_write_png(path.c_str(), image.cols, image.rows, channels, row_major.data(),
                      image.cols * channels)) {
    *error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace gck
