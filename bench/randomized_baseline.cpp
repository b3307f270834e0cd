#include "bench/randomized_baseline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "matcher/refine.h"
#include "matcher/split_mix.h"

namespace gck {
Field RandomizedBaseline(const Image& a_in, const Image& b_in, int32_t width, int32_t iterations,
                         uint64_t seed) {
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const Image a = WithChannels(a_in, channels);
  const Image b = WithChannels(b_in, channels);
  const int32_t rows = a.rows - width + 1, cols = a.cols - width + 1;
  const int32_t rows_b = b.rows - width + 1, cols_b = b.cols - width + 1;
  const size_t anchors = size_t(rows) * cols;
  std::vector<int32_t> mr(anchors), mc(anchors);
  std::vector<uint32_t> cost(anchors);
  SplitMix64 random(seed);
  const auto below = [&random](int32_t n) { return static_cast<int32_t>(random.Below(n)); };
  for (int32_t c = 0; c < cols; ++c) {
    for (int32_t r = 0; r < rows; ++r) {
      const size_t p = r + size_t(c) * rows;
      mr[p] = below(rows_b);
      mc[p] = below(cols_b);
      cost[p] = PatchSsd(a, r, c, b, mr[p], mc[p], width, UINT32_MAX);
    }
  }
  const auto improve = [&](size_t p, int32_t r, int32_t c, int32_t rb, int32_t cb) {
    if (rb < 0 || cb < 0 || rb >= rows_b || cb >= cols_b) return;
    const uint32_t d = PatchSsd(a, r, c, b, rb, cb, width, cost[p]);
    if (d < cost[p]) cost[p] = d, mr[p] = rb, mc[p] = cb;
  };
  for (int32_t iteration = 0; iteration < iterations; ++iteration) {
    const bool forward = iteration % 2 == 0;
    const int32_t step = forward ? 1 : -1;
    for (int32_t i = 0; i < cols; ++i) {
      const int32_t c = forward ? i : cols - 1 - i;
      for (int32_t j = 0; j < rows; ++j) {
        const int32_t r = forward ? j : rows - 1 - j;
        const size_t p = r + size_t(c) * rows;
        // Propagation: the neighbour visited just before, its match moved by one pixel.
        const int32_t rn = r - step, cn = c - step;
        if (rn >= 0 && rn < rows) {
          const size_t n = rn + size_t(c) * rows;
          improve(p, r, c, mr[n] + step, mc[n]);
        }
        if (cn >= 0 && cn < cols) {
          const size_t n = r + size_t(cn) * rows;
          improve(p, r, c, mr[n], mc[n] + step);
        }
        // Random search: windows around the current match halving from the size of B.
        for (int32_t radius = std::max(rows_b, cols_b); radius >= 1; radius /= 2) {
          const int32_t r0 = std::max(mr[p] - radius, 0), r1 = std::min(mr[p] + radius + 1, rows_b);
          const int32_t c0 = std::max(mc[p] - radius, 0), c1 = std::min(mc[p] + radius + 1, cols_b);
          improve(p, r, c, r0 + below(r1 - r0), c0 + below(c1 - c0));
        }
      }
    }
  }
  Field field;
  field.rows = rows;
  field.cols = cols;
  field.k = 1;
  field.width = width;
  field.channels = channels;
  field.match_rows = mr;
  field.match_cols = mc;
  field.errors.resize(anchors);
  for (size_t p = 0; p < anchors; ++p)
    field.errors[p] = static_cast<float>(std::sqrt(static_cast<double>(cost[p])));
  return field;
}

}  // namespace gck
