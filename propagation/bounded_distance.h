#pragma once
// The bounded distance test every propagation sweep scores its candidates with.

#include <cstdint>

namespace gck {

// (a - b)^2 of one pair of projection values as a uint32: exact for int16 (at most 4294836225),
// modulo 2^32 for int32, where the difference itself wraps in 32 bits.
template <class T>
inline uint32_t SquaredDifference(T a, T b) {
  const uint32_t d = static_cast<uint32_t>(static_cast<int32_t>(a)) -
                     static_cast<uint32_t>(static_cast<int32_t>(b));
  return d * d;
}

// Scores the K-value vectors a and b against `budget`: the first term alone, then pairs of terms
// (each pair summed modulo 2^32), then the last term when K is even. A losing candidate leaves at the
// first test it fails. On success *distance is the sum of all terms, pair sums taken modulo 2^32.
// Requires kernels >= 1.
template <class T>
inline bool WithinBudget(const T* a, const T* b, uint32_t kernels, uint32_t budget,
                         uint32_t* distance) {
  uint32_t left = budget;
  const uint32_t first = SquaredDifference(a[0], b[0]);
  if (first > left) return false;
  left -= first;
  uint32_t k = 1;
  for (; k + 1 < kernels; k += 2) {
    const uint32_t pair = SquaredDifference(a[k], b[k]) + SquaredDifference(a[k + 1], b[k + 1]);
    if (pair > left) return false;
    left -= pair;
  }
  if (k < kernels) {
    const uint32_t last = SquaredDifference(a[k], b[k]);
    if (last > left) return false;
    left -= last;
  }
  *distance = budget - left;
  return true;
}

}  // namespace gck
