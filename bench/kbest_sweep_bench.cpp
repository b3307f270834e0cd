// One k-best sweep over a 0.1-megapixel image (K = 8, two slots per bucket) for growing k: into a
// second image, and within one image with and without the reciprocal insertion.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "hashing/hash_table.h"
#include "propagation/kbest_self_sweep.h"
#include "propagation/kbest_sweep.h"

namespace {

constexpr uint32_t kSide = 316;  // 99856 pixels
constexpr uint32_t kKernels = 8;
constexpr int32_t kBits = 14;

// Projections of a smooth scene with noise, so that alike patches lie near each other, the codes
// that hash them, and the two-slot table filled from those codes.
struct Image {
  std::vector<int16_t> stack;
  std::vector<uint32_t> codes;
  std::vector<uint32_t> table;

  explicit Image(unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 40.0);
    const uint32_t pixels = kSide * kSide;
    stack.resize(static_cast<size_t>(pixels) * kKernels);
    codes.resize(pixels);
    for (uint32_t p = 0; p < pixels; ++p) {
      const double r = p % kSide, c = p / kSide;
      for (uint32_t k = 0; k < kKernels; ++k) {
        const double wave = 1500.0 / (k + 1) * std::sin(0.05 * (k + 1) * r + 0.03 * c + k);
        stack[static_cast<size_t>(p) * kKernels + k] = static_cast<int16_t>(wave + noise(rng));
      }
      uint32_t key = 0;
      for (uint32_t k = 0; k < 3; ++k) key = key * 31 + (stack[p * kKernels + k] >> 7);
      codes[p] = 1 + ((key * 2654435761u) >> (32 - kBits));
    }
    const uint32_t buckets = 1u << kBits;
    table.resize(buckets * 2);
    for (uint32_t& slot : table) slot = 1 + rng() % pixels;
    std::vector<uint8_t> counter(buckets);
    gck::FillHashTable(table.data(), codes.data(), kBits, kSide, kSide, 0,
                       gck::SlotPolicy::TwoFixed(), counter.data());
  }
};

gck::SweepInputs<int16_t> Inputs(const Image& a, const Image& b) {
  gck::SweepInputs<int16_t> in{};
  in.stack_a = a.stack.data();
  in.stack_b = b.stack.data();
  in.codes_a = a.codes.data();
  in.codes_b = b.codes.data();
  in.table_a = a.table.data();
  in.table_b = b.table.data();
  in.rows = in.cols = in.rows_b = kSide;
  in.pixels_b = kSide * kSide;
  in.kernels = kKernels;
  in.buckets = 1u << kBits;
  in.slots = 2;
  in.downward = true;
  return in;
}

// Lists after one downward and one upward sweep from random matches, so the timed sweep meets lists
// in the state a matcher's later sweeps see.
template <class Sweep>
void Run(benchmark::State& state, const gck::SweepInputs<int16_t>& settle, Sweep sweep) {
  const uint32_t k = static_cast<uint32_t>(state.range(0));
  const size_t entries = static_cast<size_t>(kSide) * kSide * k;
  std::mt19937 rng(7);
  std::vector<uint32_t> errors(entries, 0xFFFFFFFFu), matches(entries);
  for (uint32_t& m : matches) m = kSide + 1 + rng() % (kSide * (kSide - 2) - 2);
  gck::SweepInputs<int16_t> in = settle;
  sweep(in, k, errors.data(), matches.data());
  in.downward = false;
  sweep(in, k, errors.data(), matches.data());
  in.downward = true;
  const std::vector<uint32_t> start_errors = errors, start_matches = matches;
  for (auto _ : state) {
    state.PauseTiming();
    errors = start_errors;
    matches = start_matches;
    state.ResumeTiming();
    sweep(in, k, errors.data(), matches.data());
    benchmark::DoNotOptimize(matches.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kSide) * kSide);
}

const Image& ImageA() {
  static const Image image(1);
  return image;
}
const Image& ImageB() {
  static const Image image(2);
  return image;
}

void BM_KBestSweep(benchmark::State& state) {
  Run(state, Inputs(ImageA(), ImageB()),
      [](const gck::SweepInputs<int16_t>& in, uint32_t k, uint32_t* e, uint32_t* m) {
        gck::KBestSweep(in, k, e, m);
      });
}

void BM_KBestSelfSweep(benchmark::State& state) {
  const bool reciprocal = state.range(1) != 0;
  Run(state, Inputs(ImageA(), ImageA()),
      [reciprocal](const gck::SweepInputs<int16_t>& in, uint32_t k, uint32_t* e, uint32_t* m) {
        gck::KBestSelfSweep(in, k, reciprocal, e, m);
      });
}

BENCHMARK(BM_KBestSweep)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KBestSelfSweep)
    ->ArgsProduct({{1, 4, 8}, {0, 1}})
    ->ArgNames({"k", "reciprocal"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
