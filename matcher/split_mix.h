#pragma once
// splitmix64: the same sequence on every platform and compiler, unlike the standard distributions,
// so a seed always gives the same field and the same benchmark images.

#include <cstdint>

namespace gck {

class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A value in 0 .. n-1, from the high half of the next number.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }

 private:
  uint64_t state_;
};

}  // namespace gck
