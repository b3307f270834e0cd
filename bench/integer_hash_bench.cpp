// HashKeys over 4 M keys for each routine in both word widths, beside a memcpy of the bytes it must
// at least touch (keys read, codes written).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "hashing/integer_hash.h"

namespace {

constexpr int32_t kKeys = 2048 * 2048;

template <class Word>
void BM_HashKeys(benchmark::State& state) {
  const int selector = static_cast<int>(state.range(0));
  std::mt19937_64 rng(1);
  std::vector<Word> keys(kKeys);
  for (auto& key : keys) key = static_cast<Word>(rng());
  std::vector<uint32_t> codes(kKeys);
  for (auto _ : state) {
    gck::HashKeys(keys.data(), kKeys, selector, 20, codes.data());
    benchmark::DoNotOptimize(codes.data());
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

template <class Word>
void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{kKeys} * (sizeof(Word) + sizeof(uint32_t));
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

BENCHMARK(BM_HashKeys<uint32_t>)->DenseRange(1, 6);
BENCHMARK(BM_Memcpy<uint32_t>);
BENCHMARK(BM_HashKeys<uint64_t>)->DenseRange(1, 6);
BENCHMARK(BM_Memcpy<uint64_t>);

}  // namespace
