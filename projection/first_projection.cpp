#include "projection/first_projection.h"

#include <cassert>
#include <cstddef>

namespace gck {
namespace {

// Column c of the summed-area table from column c - 1 (nullptr for the first column).
inline void TableColumn(const uint8_t* __restrict pixels, const uint32_t* __restrict previous,
                        uint32_t* __restrict column,
                        int32_t rows) {
  uint32_t running = 0;
  if (previous == nullptr) {
    for (int32_t r = 0; r < rows; ++r) column[r] = running += pixels[r];
  } else {
    for (int32_t r = 0; r < rows; ++r) column[r] = previous[r] + (running += pixels[r]);
  }
}

// Window sums of one output column from the table columns at its right edge (`right`) and just left
// of it (`left`, nullptr for output column 0).
template <class Out>
inline void SumColumn(const uint32_t* __restrict right, const uint32_t* __restrict left,
                      int32_t last_row, int32_t width, Out* __restrict out) {
  const uint32_t* right_bottom = right + width - 1;
  if (left == nullptr) {
    out[0] = static_cast<Out>(right_bottom[0]);
    for (int32_t r = 1; r <= last_row; ++r) {
      out[r] = static_cast<Out>(right_bottom[r] - right[r - 1]);
    }
    return;
  }
  const uint32_t* left_bottom = left + width - 1;
  out[0] = static_cast<Out>(right_bottom[0] - left_bottom[0]);
  for (int32_t r = 1; r <= last_row; ++r) {
    out[r] = static_cast<Out>(right_bottom[r] - right[r - 1] - left_bottom[r] + left[r - 1]);
  }
}

}  // namespace

template <class Out>
void FirstProjection(const uint8_t* image, int32_t rows, int32_t cols, int32_t width,
                     uint32_t* table, Out* out) {
  assert(width >= 1 && width <= rows && width <= cols);
  const size_t stride = static_cast<size_t>(rows);
  const int32_t last_row = rows - width;
  // One streaming pass: as soon as table column c is complete, output column c - width + 1 has both
  // of its table columns while they are still in cache.
  for (int32_t c = 0; c < cols; ++c) {
    uint32_t* column = table + c * stride;
    TableColumn(image + c * stride, c == 0 ? nullptr : column - stride, column, rows);
    const int32_t out_col = c - width + 1;
    if (out_col < 0) continue;
    const uint32_t* left = out_col == 0 ? nullptr : table + (out_col - 1) * stride;
    SumColumn(column, left, last_row, width, out + out_col * stride);
  }
}

template void FirstProjection<int16_t>(const uint8_t*, int32_t, int32_t, int32_t, uint32_t*,
                                       int16_t*);
template void FirstProjection<int32_t>(const uint8_t*, int32_t, int32_t, int32_t, uint32_t*,
                                       int32_t*);

}  // namespace gck
