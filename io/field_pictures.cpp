#include "io/field_pictures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gck {

Image Reconstruct(const Field& field, const Image& b, int32_t rows, int32_t cols) {
  Image out = BlankImage(rows, cols, b.channels);
  std::vector<uint32_t> sums(out.pixels.size(), 0), counts(out.plane(), 0);
  for (int32_t c = 0; c < field.cols; ++c) {
    for (int32_t r = 0; r < field.rows; ++r) {
      const size_t p = (r + size_t(c) * field.rows) * field.k;
      const int32_t rb = field.match_rows[p], cb = field.match_cols[p];
      for (int32_t dc = 0; dc < field.width; ++dc) {
        for (int32_t dr = 0; dr < field.width; ++dr) {
          const size_t at = (r + dr) + size_t(c + dc) * rows;
          ++counts[at];
          for (int32_t k = 0; k < b.channels; ++k)
            sums[at + k * out.plane()] += b.at(rb + dr, cb + dc, k);
        }
      }
    }
  }
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const uint32_t n = counts[i % out.plane()];
    out.pixels[i] = static_cast<uint8_t>(n ? (sums[i] + n / 2) / n : 0);
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
