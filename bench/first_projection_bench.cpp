// FirstProjection beside a memcpy of the same image bytes, the memory-bandwidth bound.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "projection/first_projection.h"

namespace {

constexpr int kWidth = 8;

std::vector<uint8_t> Image(int side) {
  std::mt19937 rng(1);
  std::vector<uint8_t> image(static_cast<size_t>(side) * side);
  for (auto& pixel : image) pixel = static_cast<uint8_t>(rng());
  return image;
}

template <class Out>
void BM_FirstProjection(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const std::vector<uint8_t> image = Image(side);
  std::vector<uint32_t> table(image.size());
  std::vector<Out> out(image.size(), 0);
  for (auto _ : state) {
    gck::FirstProjection(image.data(), side, side, kWidth, table.data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(image.size()));
}

// The bytes a projection must at least touch: the image read and the output written.
template <class Out>
void BM_Memcpy(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const size_t bytes = static_cast<size_t>(side) * side * (1 + sizeof(Out));
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(side) * side);
}

BENCHMARK(BM_FirstProjection<int16_t>)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Memcpy<int16_t>)->Arg(1024)->Arg(2048);
BENCHMARK(BM_FirstProjection<int32_t>)->Arg(1024)->Arg(2048);
BENCHMARK(BM_Memcpy<int32_t>)->Arg(1024)->Arg(2048);

}  // namespace
