#pragma once
// One step of the Gray-Code Kernel chain: the projection of every patch onto the next Walsh-Hadamard
// kernel from its projection onto the previous one, at two additions per element whatever the kernel.

#include <cstdint>

namespace gck {

struct GckStepParams {
  int32_t width;        // side w of both kernels
  int32_t delta;        // shift of the alpha-relation, 1 <= delta <= width
  bool alpha_positive;  // true: the partner terms are added; false: they are subtracted
  bool horizontal;      // true: the partner lies delta columns to the left; false: delta rows above
  int32_t end_trim;     // along the movement the last index computed is E(d) = d - width - end_trim
};

// x, y:  `planes` planes of rows x plane_cols elements side by side, column-major (plane k starts at
//        k * plane_cols * rows); any columns after the last plane are neither read nor written.
// y:     zero-filled by the caller; the zeros are the partners at the start of every chain.
// With p - D the partner of p (D = delta * rows horizontally, delta vertically), every position of
//   horizontal: rows 1 .. rows - 1,          columns width .. E(plane_cols)
//   vertical:   rows width .. E(rows),       columns 1 .. plane_cols - 1
// of each plane becomes x[p] + x[p - D] + y[p - D] (alpha_positive) or x[p] - x[p - D] - y[p - D],
// wrapping in the element width; every other position is left untouched. Partners always lie in the
// same plane, so the planes are independent. An empty range (width past half the plane) writes nothing.
// Requires 1 <= delta <= width and end_trim >= 0.
template <class T>  // int16_t or int32_t
void GckStep(const T* x, T* y, int32_t rows, int32_t plane_cols, int32_t planes,
             const GckStepParams& params);

}  // namespace gck
