// GckStep beside a memcpy of the same image bytes (read X, write Y), the memory-bandwidth bound.
// Arguments: image side, horizontal (1) or vertical (0), delta. The kernel side is 16 throughout.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "projection/gck_step.h"

namespace {

constexpr int kWidth = 16;

template <class T>
std::vector<T> Projection(int side) {
  std::mt19937 rng(1);
  std::vector<T> x(static_cast<size_t>(side) * side);
  for (auto& v : x) v = static_cast<T>(rng());
  return x;
}

template <class T>
void BM_GckStep(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const gck::GckStepParams params{kWidth, static_cast<int32_t>(state.range(2)), true,
                                  state.range(1) != 0, 1};
  const std::vector<T> x = Projection<T>(side);
  std::vector<T> y(x.size(), 0);
  for (auto _ : state) {
    gck::GckStep(x.data(), y.data(), side, side, 1, params);
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
}

template <class T>
void BM_Memcpy(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::vector<T> from = Projection<T>(side);
  std::vector<T> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(T));
    benchmark::DoNotOptimize(to.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(from.size()));
}

void Steps(benchmark::internal::Benchmark* b) {
  for (int side : {1024, 2048}) {
    for (int horizontal : {1, 0}) {
      for (int delta : {1, 4, 16}) b->Args({side, horizontal, delta});
    }
  }
}

BENCHMARK(BM_GckStep<int16_t>)->Apply(Steps);
BENCHMARK(BM_Memcpy<int16_t>)->Arg(1024)->Arg(2048);
BENCHMARK(BM_GckStep<int32_t>)->Apply(Steps);
BENCHMARK(BM_Memcpy<int32_t>)->Arg(1024)->Arg(2048);

}  // namespace
