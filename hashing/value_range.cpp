#include "hashing/value_range.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace gck {
namespace {

// Blocks small enough to stay in cache for the rare second look, large enough for the min/max
// reduction to run at full vector width.
constexpr int32_t kBlock = 4096;

// Whether every value lies in low..high: one unsigned comparison per value against the span, OR-ed
// together without a branch so that the loop vectorises (a min/max pair would not for 32-bit lanes).
template <class V>
bool BlockWithin(const V* values, int32_t count, V low, V high) {
  using U = std::make_unsigned_t<V>;
  const U base = static_cast<U>(low);
  const U span = static_cast<U>(static_cast<U>(high) - base);
  U outside = 0;
  for (int32_t k = 0; k < count; ++k) {
    const U offset = static_cast<U>(static_cast<U>(values[k]) - base);
    outside |= offset > span ? U{1} : U{0};
  }
  return outside == 0;
}

}  // namespace

template <class V>
int32_t FirstOutside(const V* values, int32_t count, int64_t low, int64_t high) {
  // An empty range, or one that misses V altogether, admits nothing; otherwise clamp it to V.
  constexpr int64_t kLeast = std::numeric_limits<V>::min(), kMost = std::numeric_limits<V>::max();
  if (low > high || high < kLeast || low > kMost) return 0;
  const V narrow_low = static_cast<V>(std::max(low, kLeast));
  const V narrow_high = static_cast<V>(std::min(high, kMost));
  for (int32_t start = 0; start < count; start += kBlock) {
    const int32_t stop = std::min(count, start + kBlock);
    if (BlockWithin(values + start, stop - start, narrow_low, narrow_high)) continue;
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
