#include "hashing/value_range.h"

#include <algorithm>

namespace gck {
namespace {

// Blocks small enough to stay in cache for the rare second look, large enough for the min/max
// reduction to run at full vector width.
constexpr int32_t kBlock = 4096;

}  // namespace

template <class V>
int32_t FirstOutside(const V* values, int32_t count, int64_t low, int64_t high) {
  for (int32_t start = 0; start < count; start += kBlock) {
    const int32_t stop = std::min(count, start + kBlock);
    V smallest = values[start];
    V largest = values[start];
    for (int32_t k = start; k < stop; ++k) {
      smallest = std::min(smallest, values[k]);
      largest = std::max(largest, values[k]);
    }
    if (int64_t{smallest} >= low && int64_t{largest} <= high) continue;
    for (int32_t k = start; k < stop; ++k) {
      const int64_t value = values[k];
      if (value < low || value > high) return k;
    }
  }
  return count;
}

template int32_t FirstOutside<int16_t>(const int16_t*, int32_t, int64_t, int64_t);
template int32_t FirstOutside<int32_t>(const int32_t*, int32_t, int64_t, int64_t);
template int32_t FirstOutside<uint32_t>(const uint32_t*, int32_t, int64_t, int64_t);

}  // namespace gck
