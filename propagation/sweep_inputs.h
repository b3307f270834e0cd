#pragma once
// What one propagation sweep reads: the projection stacks, codes and hash tables of A and B.
// Pixels are 0-based column-major linear indices; index arithmetic is 32-bit unsigned.

#include <cstdint>

namespace gck {

template <class T>
struct SweepInputs {
  const T* stack_a;         // value k of pixel p of A at p * kernels + k
  const T* stack_b;         // value k of pixel q of B at q * kernels + k
  const uint32_t* codes_a;  // code of every pixel of A, 1..buckets
  const uint32_t* codes_b;  // code of every pixel of B, 1..buckets
  const uint32_t* table_a;  // slot j of bucket b at b + j * buckets: a 1-based pixel of A
  const uint32_t* table_b;  // the same layout, 1-based pixels of B
  uint32_t rows;            // M, rows of A
  uint32_t cols;            // N, columns of A
  uint32_t rows_b;          // M_B, rows of B
  uint32_t pixels_b;        // pixels of B with a stack column and a code; candidates at or past it are skipped
  uint32_t kernels;         // K, values per pixel in both stacks
  uint32_t buckets;         // R, rows of both tables
  uint32_t slots;           // slots read per bucket: max(H, 1)
  bool downward;            // true: visit in increasing linear order; false: decreasing
};

}  // namespace gck
