#pragma once
// An image with its channels interleaved, column by column: the bytes of one patch column (w rows
// of every channel) lie side by side, so a patch distance streams w runs of w x channels bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "matcher/image.h"

namespace gck {

struct InterleavedImage {
  int32_t rows = 0;
  int32_t cols = 0;
  int32_t channels = 0;
  std::vector<uint8_t> bytes;  // channel k of (r, c) at (r + c * rows) * channels + k

  size_t column_stride() const { return static_cast<size_t>(rows) * channels; }
  const uint8_t* at(int32_t r, int32_t c) const {
    return bytes.data() + (static_cast<size_t>(c) * rows + r) * channels;
  }
};

InterleavedImage Interleave(const Image& image);
Image Deinterleave(const InterleavedImage& image);

// Sum of squared differences of the width x width patches at a and b (top-left bytes of the two
// patches), summed column by column; once a column ends with the sum above `limit` it is returned
// at once, so a result above `limit` says only "worse than limit". Sums fit in 32 bits for every
// width the matcher accepts.
uint32_t InterleavedSsd(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b,
                        int32_t column_bytes, int32_t width, uint32_t limit);

// The same sum over one patch column, `bytes` bytes at a and at b: the column by which the
// patches of two neighbouring anchors differ.
uint32_t InterleavedColumnSsd(const uint8_t* a, const uint8_t* b, int32_t bytes);

// Whether InterleavedSsd may use its AVX2 kernels where the processor has them (it does from the
// start); returns whether it will. The other kernels give the same sums: tests compare them.
bool AllowAvx2(bool allow);

}  // namespace gck
