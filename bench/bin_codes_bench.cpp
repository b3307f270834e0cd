// LookupBinCodes and the gateway's range check on a 4 MP projection image, beside a memcpy of the
// bytes the lookup must at least touch (values read, codes written).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "hashing/bin_codes.h"
#include "hashing/value_range.h"

namespace {

constexpr int32_t kPixels = 2048 * 2048;
constexpr int32_t kTableLength = 512;

template <class V>
std::vector<V> Values() {
  std::mt19937 rng(1);
  std::vector<V> values(kPixels);
  for (auto& value : values) value = static_cast<V>(1 + rng() % kTableLength);
  return values;
}

template <class V>
void BM_LookupBinCodes(benchmark::State& state) {
  const std::vector<V> values = Values<V>();
  std::vector<uint32_t> table(kTableLength, 7), out(kPixels);
  for (auto _ : state) {
    gck::LookupBinCodes(table.data(), values.data(), kPixels, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <class V>
void BM_RangeCheck(benchmark::State& state) {
  const std::vector<V> values = Values<V>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(gck::FirstOutside(values.data(), kPixels, 1, kTableLength));
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <class V>
void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{kPixels} * (sizeof(V) + sizeof(uint32_t));
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

BENCHMARK(BM_LookupBinCodes<int16_t>);
BENCHMARK(BM_RangeCheck<int16_t>);
BENCHMARK(BM_Memcpy<int16_t>);
BENCHMARK(BM_LookupBinCodes<int32_t>);
BENCHMARK(BM_RangeCheck<int32_t>);
BENCHMARK(BM_Memcpy<int32_t>);

}  // namespace
