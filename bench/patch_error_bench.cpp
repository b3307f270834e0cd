// PatchErrorImage on 0.4 MP images with 8 x 8 patches, beside the plain loop that adds one squared
// difference at a time and the brute-force oracle of the tests.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "error/patch_error.h"
#include "tests/reference/patch_error_reference.h"

namespace {

constexpr int kRows = 640, kCols = 640, kWidth = 8;

struct Scene {
  gck::reference::Image8 a, b;
  std::vector<uint16_t> rows, cols;
};

// Random images; the mapping is random (every patch somewhere else in B) or coherent (B shifted).
Scene MakeScene(int planes, bool coherent) {
  std::mt19937 rng(1);
  const size_t count = static_cast<size_t>(kRows) * kCols * planes;
  Scene scene{{kRows, kCols, planes, std::vector<uint8_t>(count)},
              {kRows, kCols, planes, std::vector<uint8_t>(count)},
              {},
              {}};
  for (auto& pixel : scene.a.pixels) pixel = static_cast<uint8_t>(rng());
  for (auto& pixel : scene.b.pixels) pixel = static_cast<uint8_t>(rng());
  const int last = kRows - kWidth;  // square images: the last corner row and column
  for (int c = 0; c < kCols; ++c) {
    for (int r = 0; r < kRows; ++r) {
      scene.rows.push_back(
          static_cast<uint16_t>(1 + (coherent ? std::min(r + 3, last) : rng() % (last + 1))));
      scene.cols.push_back(
          static_cast<uint16_t>(1 + (coherent ? std::min(c + 5, last) : rng() % (last + 1))));
    }
  }
  return scene;
}

// The loop as the error is defined: one squared difference at a time into a signed 32-bit sum.
void PlainLoop(const Scene& s, int t, int u, int w, float* out) {
  const int m_a = s.a.rows, m_b = s.b.rows, channels = s.a.planes;
  const int p_a = m_a * s.a.cols, p_b = m_b * s.b.cols;
  for (int x = t; x < s.a.cols - u; ++x) {
    for (int y = t; y < m_a - u; ++y) {
      const int j = x * m_a + y;
      const int q = (s.cols[j] - 1) * m_b + s.rows[j] - 1;
      int32_t sum = 0;
      for (int dx = 0; dx < w; ++dx) {
        for (int dy = 0; dy < w; ++dy) {
          for (int k = 0; k < channels; ++k) {
            const int d =
                s.a.pixels[k * p_a + j + dx * m_a + dy] - s.b.pixels[k * p_b + q + dx * m_b + dy];
            sum += d * d;
          }
        }
      }
      out[j] = static_cast<float>(std::sqrt(static_cast<double>(sum)));
    }
  }
}

void Report(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kRows - kWidth + 1) *
                          (kCols - kWidth + 1));
}

void BM_Core(benchmark::State& state) {
  const Scene s = MakeScene(static_cast<int>(state.range(0)), state.range(1) != 0);
  std::vector<float> out(static_cast<size_t>(kRows) * kCols);
  const gck::PatchImage a{s.a.pixels.data(), kRows, kCols}, b{s.b.pixels.data(), kRows, kCols};
  for (auto _ : state) {
    gck::PatchErrorImage(a, b, s.a.planes, s.rows.data(), s.cols.data(), 0, kWidth - 1, kWidth,
                         out.data());
    benchmark::DoNotOptimize(out.data());
  }
  Report(state);
}

void BM_PlainLoop(benchmark::State& state) {
  const Scene s = MakeScene(static_cast<int>(state.range(0)), state.range(1) != 0);
  std::vector<float> out(static_cast<size_t>(kRows) * kCols);
  for (auto _ : state) {
    PlainLoop(s, 0, kWidth - 1, kWidth, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  Report(state);
}

void BM_Oracle(benchmark::State& state) {
  const Scene s = MakeScene(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    std::vector<float> out =
        gck::reference::PatchErrors(s.a, s.b, s.rows, s.cols, 0, kWidth - 1, kWidth);
    benchmark::DoNotOptimize(out.data());
  }
  Report(state);
}

// Arguments: channels, coherent mapping.
BENCHMARK(BM_Core)->Args({3, 0})->Args({3, 1})->Args({1, 0})->Args({1, 1})->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_PlainLoop)
    ->Args({3, 0})
    ->Args({3, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Oracle)->Args({3, 0})->Args({1, 0})->Unit(benchmark::kMillisecond);

}  // namespace
