#pragma once
// A uint8 image laid out as the MEX deliverables take it: column-major, channels as planes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gck {

struct Image {
  int32_t rows = 0;
  int32_t cols = 0;
  int32_t channels = 0;         // 1 (grey) or 3 (colour)
  std::vector<uint8_t> pixels;  // channel k of (r, c) at r + c * rows + k * rows * cols

  size_t plane() const { return static_cast<size_t>(rows) * cols; }
  uint8_t at(int32_t r, int32_t c, int32_t k) const {
    return pixels[r + c * size_t(rows) + k * plane()];
  }
  uint8_t& at(int32_t r, int32_t c, int32_t k) {
    return pixels[r + c * size_t(rows) + k * plane()];
  }
};

inline Image BlankImage(int32_t rows, int32_t cols, int32_t channels) {
  Image image;
  image.rows = rows;
  image.cols = cols;
  image.channels = channels;
  image.pixels.assign(static_cast<size_t>(rows) * cols * channels, 0);
  return image;
}

// The image with `channels` channels: itself, or a grey image repeated in every plane.
inline Image WithChannels(const Image& image, int32_t channels) {
  if (image.channels == channels) return image;
  Image out = BlankImage(image.rows, image.cols, channels);
  for (int32_t k = 0; k < channels; ++k)
    std::copy(image.pixels.begin(), image.pixels.end(), out.pixels.begin() + k * image.plane());
  return out;
}

}  // namespace gck
