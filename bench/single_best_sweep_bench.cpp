// One single-best sweep over a 640 x 640 image (0.4 MP), K = 8 and 16, two slots per bucket: the
// guarded sweep beside the same sweep without its guards, and the rows of the stacks a rejected
// candidate reads, counted by the reference on a 320 x 320 crop of the same scene.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "propagation/single_best_sweep.h"
#include "tests/reference/single_best_sweep_reference.h"

namespace {

constexpr uint32_t kBits = 12;
constexpr uint32_t kBuckets = 1u << kBits;
constexpr uint32_t kSlots = 2;

// A smooth scene of K projection planes with a little noise; B is A shifted by (3, 5) and noisier.
// B has N + 1 spare columns beyond the ones its tables and the starting matches name, so no move
// of one downward sweep leaves its arrays and the unguarded sweep may run on it.
struct Scene {
  Scene(uint32_t side, uint32_t kernels) : rows(side), cols(side), kernels(kernels) {
    std::mt19937 rng(17);
    std::vector<double> fx(kernels * 3), fy(kernels * 3), phase(kernels * 3);
    for (auto* v : {&fx, &fy}) {
      for (double& f : *v) f = std::uniform_real_distribution<double>(0.005, 0.08)(rng);
    }
    for (double& f : phase) f = std::uniform_real_distribution<double>(0, 6.28)(rng);
    std::normal_distribution<double> noise(0, 1);
    const auto value = [&](uint32_t k, double r, double c, double sigma) {
      double v = 0;
      for (int w = 0; w < 3; ++w) {
        v += std::sin(fx[k * 3 + w] * c + fy[k * 3 + w] * r + phase[k * 3 + w]);
      }
      return static_cast<int64_t>(std::lround(v * 2000.0 / (1 + k) + sigma * noise(rng)));
    };
    const uint32_t cols_b = 2 * side + 1;
    for (uint32_t c = 0; c < side; ++c) {
      for (uint32_t r = 0; r < side; ++r) {
        for (uint32_t k = 0; k < kernels; ++k) stack_a.push_back(value(k, r, c, 10));
      }
    }
    for (uint32_t c = 0; c < cols_b; ++c) {
      for (uint32_t r = 0; r < side; ++r) {
        for (uint32_t k = 0; k < kernels; ++k) stack_b.push_back(value(k, r + 3.0, c + 5.0, 25));
      }
    }
    codes_a = Codes(stack_a);
    codes_b = Codes(stack_b);
    table_a = Table(codes_a, side * side);
    table_b = Table(codes_b, side * side);
    const uint32_t pixels = side * side;
    matches.resize(pixels);
    errors.resize(pixels);
    for (uint32_t p = 0; p < pixels; ++p) {
      matches[p] = std::uniform_int_distribution<uint32_t>(0, pixels - 1)(rng);
      uint64_t sum = 0;
      for (uint32_t k = 0; k < kernels; ++k) {
        const int64_t d = stack_a[p * kernels + k] - stack_b[matches[p] * kernels + k];
        sum += static_cast<uint64_t>(d * d);
      }
      errors[p] = static_cast<uint32_t>(std::min<uint64_t>(sum, 4294967295u));
    }
  }

  // Codes from the two leading planes, 64 levels each.
  std::vector<uint32_t> Codes(const std::vector<int64_t>& stack) const {
    std::vector<uint32_t> codes;
    for (size_t p = 0; p * kernels < stack.size(); ++p) {
      const auto level = [&](uint32_t k) {
        const int64_t v = kernels > k ? stack[p * kernels + k] : 0;
        return static_cast<uint32_t>(std::clamp<int64_t>((v + 4096) / 128, 0, 63));
      };
      codes.push_back(1 + ((level(0) * 64 + level(1)) % kBuckets));
    }
    return codes;
  }

  // Slot 0 keeps the first pixel of a bucket, slot 1 the last; untouched slots name pixel 0, so
  // every slot read is a valid pixel.
  static std::vector<uint32_t> Table(const std::vector<uint32_t>& codes, uint32_t pixels) {
    std::vector<uint32_t> table(kBuckets * kSlots, 1);
    std::vector<uint8_t> used(kBuckets, 0);
    for (uint32_t p = 0; p < pixels; ++p) {
      const uint32_t bucket = codes[p] - 1;
      table[bucket + used[bucket] * kBuckets] = p + 1;
      used[bucket] = 1;
    }
    return table;
  }

  template <class T>
  gck::SweepInputs<T> Inputs(const std::vector<T>& a, const std::vector<T>& b) const {
    return {a.data(),       b.data(),
            codes_a.data(), codes_b.data(),
            table_a.data(), table_b.data(),
            rows,           cols,
            rows,           static_cast<uint32_t>(codes_b.size()),
            kernels,        kBuckets,
            kSlots,         /*downward=*/true};
  }

  // Replaces the random start by what a downward and an upward sweep leave, the state later sweeps
  // of a run start from.
  void Warm() {
    const std::vector<int16_t> a(stack_a.begin(), stack_a.end()), b(stack_b.begin(), stack_b.end());
    gck::SweepInputs<int16_t> inputs = Inputs(a, b);
    for (bool downward : {true, false}) {
      inputs.downward = downward;
      gck::SingleBestSweep(inputs, errors.data(), matches.data());
    }
  }

  uint32_t rows, cols, kernels;
  std::vector<int64_t> stack_a, stack_b;
  std::vector<uint32_t> codes_a, codes_b, table_a, table_b, errors, matches;
};

template <class T, bool kGuarded>
void BM_SingleBestSweep(benchmark::State& state) {
  Scene scene(640, static_cast<uint32_t>(state.range(0)));
  if (state.range(1)) scene.Warm();
  const std::vector<T> a(scene.stack_a.begin(), scene.stack_a.end());
  const std::vector<T> b(scene.stack_b.begin(), scene.stack_b.end());
  const gck::SweepInputs<T> inputs = scene.Inputs(a, b);
  std::vector<uint32_t> errors, matches;
  for (auto _ : state) {
    state.PauseTiming();
    errors = scene.errors;
    matches = scene.matches;
    state.ResumeTiming();
    if (kGuarded) {
      gck::SingleBestSweep(inputs, errors.data(), matches.data());
    } else {
      gck::UnguardedSingleBestSweep(inputs, errors.data(), matches.data());
    }
    benchmark::DoNotOptimize(matches.data());
  }
  const int64_t visited = int64_t{scene.rows - 1} * (scene.cols - 1);
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(visited),
                                                  benchmark::Counter::kIsIterationInvariantRate);
  state.counters["candidates/s"] =
      benchmark::Counter(static_cast<double>(visited * (4 * kSlots + 2)),
                         benchmark::Counter::kIsIterationInvariantRate);
}

// Not a timing: what the reference counts on the same kind of scene.
void BM_RejectedCandidateRows(benchmark::State& state) {
  Scene scene(320, static_cast<uint32_t>(state.range(0)));
  if (state.range(1)) scene.Warm();
  gck::reference::SweepCase c;
  c.stack_a = scene.stack_a;
  c.stack_b = scene.stack_b;
  c.codes_a = scene.codes_a;
  c.codes_b = scene.codes_b;
  c.table_a = scene.table_a;
  c.table_b = scene.table_b;
  c.rows = c.cols = c.rows_b = scene.rows;
  c.kernels = scene.kernels;
  c.buckets = kBuckets;
  c.hash_slots = kSlots;
  gck::reference::SweepCounts counts;
  for (auto _ : state) {
    std::vector<uint32_t> errors = scene.errors, matches = scene.matches;
    counts = {};
    gck::reference::SingleBestSweep(c, errors, matches, &counts);
  }
  const double visited = static_cast<double>(scene.rows - 1) * (scene.cols - 1);
  state.counters["scored/pixel"] = counts.scored / visited;
  state.counters["rejected/scored"] = double(counts.rejected) / counts.scored;
  state.counters["rows/rejection"] = double(counts.rejected_rows) / counts.rejected;
}

// Args: K, and 1 for a start left by two earlier sweeps (0: random matches). The unguarded sweep
// runs only from the random start, the one whose moves the spare columns of B are sized for.
BENCHMARK(BM_SingleBestSweep<int16_t, true>)
    ->ArgsProduct({{8, 16}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleBestSweep<int16_t, false>)
    ->ArgsProduct({{8, 16}, {0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleBestSweep<int32_t, true>)
    ->ArgsProduct({{8, 16}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleBestSweep<int32_t, false>)
    ->ArgsProduct({{8, 16}, {0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RejectedCandidateRows)
    ->ArgsProduct({{8, 16}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
