#include "matcher/refine.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace gck {

uint32_t PatchSsd(const Image& a, int32_t ra, int32_t ca, const Image& b, int32_t rb, int32_t cb,
                  int32_t width, uint32_t limit) {
  uint32_t sum = 0;
  for (int32_t k = 0; k < a.channels; ++k) {
    for (int32_t dc = 0; dc < width; ++dc) {
      const uint8_t* x = &a.pixels[k * a.plane() + (ca + dc) * size_t(a.rows) + ra];
      const uint8_t* y = &b.pixels[k * b.plane() + (cb + dc) * size_t(b.rows) + rb];
      uint32_t column = 0;
      for (int32_t dr = 0; dr < width; ++dr) {
        const int32_t d = int32_t(x[dr]) - int32_t(y[dr]);
        column += static_cast<uint32_t>(d * d);
      }
      sum += column;
      if (sum > limit) return sum;
    }
  }
  return sum;
}

void RefineField(const Image& a, const Image& b, int32_t passes, Field* field) {
  const int32_t rows = field->rows, cols = field->cols, width = field->width;
  const int32_t rows_b = b.rows - width + 1, cols_b = b.cols - width + 1;
  std::vector<int32_t>& mr = field->match_rows;
  std::vector<int32_t>& mc = field->match_cols;
  std::vector<uint32_t> cost(field->anchors());
  for (int32_t c = 0; c < cols; ++c)
    for (int32_t r = 0; r < rows; ++r) {
      const size_t p = r + size_t(c) * rows;
      cost[p] = PatchSsd(a, r, c, b, mr[p], mc[p], width, UINT32_MAX);
    }
  for (int32_t pass = 0; pass < passes; ++pass) {
    const int32_t step = pass % 2 == 0 ? 1 : -1;
    for (int32_t i = 0; i < cols; ++i) {
      const int32_t c = step > 0 ? i : cols - 1 - i;
      for (int32_t j = 0; j < rows; ++j) {
        const int32_t r = step > 0 ? j : rows - 1 - j;
        const size_t p = r + size_t(c) * rows;
        const auto consider = [&](int32_t rn, int32_t cn, int32_t dr, int32_t dc) {
          const size_t n = rn + size_t(cn) * rows;
          const int32_t rb = mr[n] + dr, cb = mc[n] + dc;
          if (rb < 0 || cb < 0 || rb >= rows_b || cb >= cols_b) return;
          const uint32_t d = PatchSsd(a, r, c, b, rb, cb, width, cost[p]);
          if (d < cost[p]) cost[p] = d, mr[p] = rb, mc[p] = cb;
        };
        if (r - step >= 0 && r - step < rows) consider(r - step, c, step, 0);
        if (c - step >= 0 && c - step < cols) consider(r, c - step, 0, step);
      }
    }
  }
  for (size_t p = 0; p < cost.size(); ++p)
    field->errors[p] = static_cast<float>(std::sqrt(static_cast<double>(cost[p])));
}

}  // namespace gck
