#include "projection/gck_step.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <type_traits>

namespace gck {
namespace {

// Unsigned arithmetic wraps in the element width without signed overflow.
template <class T, bool kPositive>
inline T Combine(T x, T x_partner, T y_partner) {
  using U = std::make_unsigned_t<T>;
  const U partner = static_cast<U>(static_cast<U>(x_partner) + static_cast<U>(y_partner));
  return static_cast<T>(kPositive ? static_cast<U>(static_cast<U>(x) + partner)
                                  : static_cast<U>(static_cast<U>(x) - partner));
}

// `count` elements none of which is another's partner, so the loop vectorises.
template <class T, bool kPositive>
inline void IndependentRun(const T* __restrict x, const T* __restrict x_partner,
                           const T* __restrict y_partner, T* __restrict y, ptrdiff_t count) {
  for (ptrdiff_t i = 0; i < count; ++i) y[i] = Combine<T, kPositive>(x[i], x_partner[i], y_partner[i]);
}

// Horizontal step: each row is its own chain, so a whole column is computed at once from the column
// delta to its left.
template <class T, bool kPositive>
void HorizontalPlane(const T* x, T* y, ptrdiff_t rows, ptrdiff_t first_col, ptrdiff_t last_col,
                     ptrdiff_t delta) {
  const ptrdiff_t shift = delta * rows;
  for (ptrdiff_t c = first_col; c <= last_col; ++c) {
    const ptrdiff_t top = c * rows + 1;  // row 0 is never computed
    IndependentRun<T, kPositive>(x + top, x + top - shift, y + top - shift, y + top, rows - 1);
  }
}

// One column of a vertical step with a short shift: the last kDelta results ride in registers, so
// the chain does not wait on a store and reload of the value it has just written.
template <class T, bool kPositive, int kDelta>
void ShortShiftColumn(const T* x, T* y, ptrdiff_t first_row, ptrdiff_t last_row) {
  T carry[kDelta];
  for (int j = 0; j < kDelta; ++j) carry[j] = y[first_row - kDelta + j];
  ptrdiff_t r = first_row;
  for (; r + kDelta - 1 <= last_row; r += kDelta) {
    for (int j = 0; j < kDelta; ++j) {
      carry[j] = Combine<T, kPositive>(x[r + j], x[r + j - kDelta], carry[j]);
      y[r + j] = carry[j];
    }
  }
  for (int j = 0; r + j <= last_row; ++j) {
    y[r + j] = Combine<T, kPositive>(x[r + j], x[r + j - kDelta], carry[j]);
  }
}

template <class T, bool kPositive, int kDelta>
void ShortShiftPlane(const T* x, T* y, ptrdiff_t rows, ptrdiff_t cols, ptrdiff_t first_row,
                     ptrdiff_t last_row) {
  for (ptrdiff_t c = 1; c < cols; ++c) {  // column 0 is never computed
    ShortShiftColumn<T, kPositive, kDelta>(x + c * rows, y + c * rows, first_row, last_row);
  }
}

// Vertical step: within a column each element depends on the one delta rows above. Shifts of 8 and
// more go in blocks of delta rows, each block computed at once from the block above it; shorter
// blocks would not fill a vector, so short shifts walk their chains element by element.
template <class T, bool kPositive>
void VerticalPlane(const T* x, T* y, ptrdiff_t rows, ptrdiff_t cols, ptrdiff_t first_row,
                   ptrdiff_t last_row, ptrdiff_t delta) {
  switch (delta) {
    case 1: return ShortShiftPlane<T, kPositive, 1>(x, y, rows, cols, first_row, last_row);
    case 2: return ShortShiftPlane<T, kPositive, 2>(x, y, rows, cols, first_row, last_row);
    case 3: return ShortShiftPlane<T, kPositive, 3>(x, y, rows, cols, first_row, last_row);
    case 4: return ShortShiftPlane<T, kPositive, 4>(x, y, rows, cols, first_row, last_row);
    case 5: return ShortShiftPlane<T, kPositive, 5>(x, y, rows, cols, first_row, last_row);
    case 6: return ShortShiftPlane<T, kPositive, 6>(x, y, rows, cols, first_row, last_row);
    case 7: return ShortShiftPlane<T, kPositive, 7>(x, y, rows, cols, first_row, last_row);
    default: break;
  }
  for (ptrdiff_t c = 1; c < cols; ++c) {
    const T* x_col = x + c * rows;
    T* y_col = y + c * rows;
    for (ptrdiff_t r = first_row; r <= last_row; r += delta) {
      const ptrdiff_t count = std::min(delta, last_row - r + 1);
      IndependentRun<T, kPositive>(x_col + r, x_col + r - delta, y_col + r - delta, y_col + r,
                                   count);
    }
  }
}

template <class T, bool kPositive>
void Step(const T* x, T* y, ptrdiff_t rows, ptrdiff_t plane_cols, ptrdiff_t planes,
          const GckStepParams& params) {
  const ptrdiff_t plane_size = rows * plane_cols;
  const ptrdiff_t along = params.horizontal ? plane_cols : rows;
  const ptrdiff_t first = params.width;
  const ptrdiff_t last = along - params.width - params.end_trim;
  if (first > last || (params.horizontal && rows < 2)) return;
  for (ptrdiff_t k = 0; k < planes; ++k) {
    const T* x_plane = x + k * plane_size;
    T* y_plane = y + k * plane_size;
    if (params.horizontal) {
      HorizontalPlane<T, kPositive>(x_plane, y_plane, rows, first, last, params.delta);
    } else {
      VerticalPlane<T, kPositive>(x_plane, y_plane, rows, plane_cols, first, last, params.delta);
    }
  }
}

}  // namespace

template <class T>
void GckStep(const T* x, T* y, int32_t rows, int32_t plane_cols, int32_t planes,
             const GckStepParams& params) {
  assert(params.delta >= 1 && params.delta <= params.width);
  assert(params.end_trim >= 0 && rows >= 0 && plane_cols >= 0 && planes >= 0);
  if (params.alpha_positive) {
    Step<T, true>(x, y, rows, plane_cols, planes, params);
  } else {
    Step<T, false>(x, y, rows, plane_cols, planes, params);
  }
}

template void GckStep<int16_t>(const int16_t*, int16_t*, int32_t, int32_t, int32_t,
                               const GckStepParams&);
template void GckStep<int32_t>(const int32_t*, int32_t*, int32_t, int32_t, int32_t,
                               const GckStepParams&);

}  // namespace gck
