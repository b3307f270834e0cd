// FillHashTable and the gateway's code check on a 4 MP code image, beside a memcpy of the codes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "hashing/hash_table.h"
#include "hashing/value_range.h"

namespace {

constexpr int32_t kSide = 2048;
constexpr int32_t kPixels = kSide * kSide;

std::vector<uint32_t> Codes(int bits) {
  std::mt19937 rng(1);
  std::vector<uint32_t> codes(kPixels);
  for (auto& code : codes) code = 1 + rng() % (1u << bits);
  return codes;
}

// range(0): bits; range(1): 0 for two fixed slots, else the ring length.
void BM_FillHashTable(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const int ring = static_cast<int>(state.range(1));
  const gck::SlotPolicy policy = ring == 0 ? gck::SlotPolicy::TwoFixed() : gck::SlotPolicy::Ring(ring);
  const std::vector<uint32_t> codes = Codes(bits);
  std::vector<uint32_t> table((size_t{1} << bits) * policy.slots());
  std::vector<uint8_t> counter(size_t{1} << bits);
  for (auto _ : state) {
    gck::FillHashTable(table.data(), codes.data(), bits, kSide, kSide, 0, policy, counter.data());
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_CodeCheck(benchmark::State& state) {
  const std::vector<uint32_t> codes = Codes(16);
  for (auto _ : state) {
    benchmark::DoNotOptimize(gck::FirstOutside(codes.data(), kPixels, 1, 1 << 16));
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{kPixels} * sizeof(uint32_t);
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

BENCHMARK(BM_FillHashTable)->Args({16, 0})->Args({16, 4})->Args({20, 0})->Args({20, 4});
BENCHMARK(BM_CodeCheck);
BENCHMARK(BM_Memcpy);

}  // namespace
