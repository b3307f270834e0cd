#include "io/field_pictures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gck {

Image Reconstruct(const Field& field, const Image& b, int32_t rows, int32_t cols,
                  const Stop& stop) {
  Image out = BlankImage(rows, cols, b.channels);
  const size_t plane = out.plane();
  const int32_t w = field.width;
  std::vector<uint32_t> sums(out.pixels.size(), 0);
  // Channel by channel, each patch column added as one run down a column of both images.
  for (int32_t k = 0; k < b.channels; ++k) {
    uint32_t* sum = sums.data() + k * plane;
    const uint8_t* from = b.pixels.data() + k * b.plane();
    for (int32_t c = 0; c < field.cols; ++c) {
      if (c % 64 == 0 && Stopped(stop)) return Image();
      for (int32_t r = 0; r < field.rows; ++r) {
        const size_t p = (r + size_t(c) * field.rows) * field.k;
        const uint8_t* patch = from + size_t(field.match_cols[p]) * b.rows + field.match_rows[p];
        uint32_t* to = sum + size_t(c) * rows + r;
        for (int32_t dc = 0; dc < w; ++dc, patch += b.rows, to += rows)
          for (int32_t dr = 0; dr < w; ++dr) to[dr] += patch[dr];
      }
    }
  }
  // The patches covering a pixel: those of the anchors up to w - 1 rows and columns before it.
  const auto covering = [w](int32_t at, int32_t anchors) {
    return std::max(0, std::min(at, anchors - 1) - std::max(0, at - w + 1) + 1);
  };
  std::vector<uint32_t> by_row(rows);
  for (int32_t y = 0; y < rows; ++y) by_row[y] = uint32_t(covering(y, field.rows));
  for (int32_t k = 0; k < b.channels; ++k)
    for (int32_t x = 0; x < cols; ++x) {
      const uint32_t across = uint32_t(covering(x, field.cols));
      const size_t first = k * plane + size_t(x) * rows;
      for (int32_t y = 0; y < rows; ++y) {
        const uint32_t n = across * by_row[y];
        out.pixels[first + y] = static_cast<uint8_t>(n ? (sums[first + y] + n / 2) / n : 0);
      }
    }
  return out;
}

Image ErrorImage(const Field& field, int32_t rows, int32_t cols) {
  Image out = BlankImage(rows, cols, 1);
  const double per_pixel = std::sqrt(double(field.width) * field.width * field.channels);
  for (int32_t c = 0; c < cols; ++c) {
    for (int32_t r = 0; r < rows; ++r) {
      const size_t p =
          std::min(r, field.rows - 1) + size_t(std::min(c, field.cols - 1)) * field.rows;
      const double rms = field.errors[p * field.k] / per_pixel;
      out.at(r, c, 0) = static_cast<uint8_t>(std::min(255.0, std::round(4 * rms)));
    }
  }
  return out;
}

}  // namespace gck
