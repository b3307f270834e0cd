#pragma once
// The projection of every square patch onto the all-plus Walsh-Hadamard kernel: the plain sum of the
// width x width window whose top-left pixel is the output position.

#include <cstdint>

namespace gck {

// image: rows x cols uint8, column-major (an M x W x 3 image is one M x 3W image here).
// table: rows * cols scratch elements; it ends holding the inclusive summed-area table of the image,
//        every entry modulo 2^32 (only differences are used, so window sums stay exact).
// out:   rows x cols, zero-filled by the caller; positions r <= rows - width and c <= cols - width
//        receive the window sum reduced modulo 2^16 (int16_t) or exact (int32_t, width <= 2901);
//        the last width - 1 rows and columns are left untouched.
// Requires 1 <= width <= min(rows, cols).
template <class Out>
void FirstProjection(const uint8_t* image, int32_t rows, int32_t cols, int32_t width,
                     uint32_t* table, Out* out);

}  // namespace gck
