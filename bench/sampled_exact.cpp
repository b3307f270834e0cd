#include "bench/sampled_exact.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "matcher/interleaved.h"
#include "matcher/patch_search.h"
#include "matcher/split_mix.h"

namespace gck {

std::vector<uint32_t> SampleAnchors(const Image& a, int32_t width, int32_t count, uint64_t seed) {
  const uint32_t anchors = uint32_t(a.rows - width + 1) * uint32_t(a.cols - width + 1);
  std::vector<uint32_t> sample(std::min<uint32_t>(anchors, uint32_t(count)));
  SplitMix64 random(seed);
  if (sample.size() == anchors) {
    std::iota(sample.begin(), sample.end(), 0u);
  } else {
    for (uint32_t& p : sample) p = random.Below(anchors);
  }
  return sample;
}

std::vector<uint32_t> SampledExactCosts(const Image& a_in, const Image& b_in, int32_t width,
                                        int32_t k, bool self, const std::vector<uint32_t>& anchors,
                                        const Field& hint) {
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const InterleavedImage a = Interleave(WithChannels(a_in, channels));
  const InterleavedImage b = Interleave(WithChannels(b_in, channels));
  const PatchGrid ga = MakeGrid(a, width), gb = MakeGrid(b, width);
  // B's anchors by the channel total of their patch sums: by Cauchy-Schwarz only a window of this
  // order around A's total can beat a known distance.
  const uint32_t count_b = gb.anchors();
  std::vector<int32_t> total(count_b);
  for (uint32_t q = 0; q < count_b; ++q)
    for (int32_t c = 0; c < channels; ++c) total[q] += gb.sums[size_t(q) * channels + c];
  std::vector<uint32_t> order(count_b);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) { return total[x] < total[y]; });
  std::vector<int32_t> sorted(count_b);
  for (uint32_t i = 0; i < count_b; ++i) sorted[i] = total[order[i]];

  const uint64_t norm = uint64_t(width) * width * channels;
  std::vector<uint32_t> out(anchors.size() * k);
  std::vector<uint32_t> best(k), best_q(k);
  for (size_t i = 0; i < anchors.size(); ++i) {
    const uint32_t p = anchors[i];
    const int32_t ra = int32_t(p % uint32_t(ga.rows)), ca = int32_t(p / uint32_t(ga.rows));
    const auto ssd = [&](uint32_t q, uint32_t limit) {
      return InterleavedSsd(a.at(ra, ca), a.column_stride(), b.at(int32_t(q % gb.rows), int32_t(q / gb.rows)),
                            b.column_stride(), width * channels, width, limit);
    };
    std::fill(best.begin(), best.end(), UINT32_MAX);
    std::fill(best_q.begin(), best_q.end(), UINT32_MAX);
    // Keeps the k smallest of distinct anchors; a repeat of a listed anchor changes nothing.
    const auto offer = [&](uint32_t q) {
      if (self && q == p) return;
      if (std::find(best_q.begin(), best_q.end(), q) != best_q.end()) return;
      const uint32_t cost = ssd(q, best[k - 1]);
      if (cost >= best[k - 1] && best_q[k - 1] != UINT32_MAX) return;
      int32_t s = k - 1;
      for (; s > 0 && best[s - 1] > cost; --s) best[s] = best[s - 1], best_q[s] = best_q[s - 1];
      best[s] = cost, best_q[s] = q;
    };
    for (int32_t s = 0; s < hint.k; ++s)
      offer(uint32_t(hint.match_rows[size_t(p) * hint.k + s]) +
            uint32_t(hint.match_cols[size_t(p) * hint.k + s]) * gb.rows);
    int32_t own = 0;
    for (int32_t c = 0; c < channels; ++c) own += ga.sums[size_t(p) * channels + c];
    const size_t middle = std::lower_bound(sorted.begin(), sorted.end(), own) - sorted.begin();
    const auto outside = [&](size_t j) {
      const int64_t d = int64_t(sorted[j]) - own;
      return best[k - 1] != UINT32_MAX && uint64_t(d * d) > norm * best[k - 1];
    };
    for (size_t up = middle; up < count_b && !outside(up); ++up) offer(order[up]);
    for (size_t down = middle; down-- > 0 && !outside(down);) offer(order[down]);
    std::copy(best.begin(), best.end(), out.begin() + i * k);
  }
  return out;
}

std::vector<float> SampledExactErrors(const Image& a, const Image& b, int32_t width,
                                      const std::vector<uint32_t>& anchors, const Field& hint) {
  const std::vector<uint32_t> costs = SampledExactCosts(a, b, width, 1, false, anchors, hint);
  std::vector<float> errors(costs.size());
  for (size_t i = 0; i < costs.size(); ++i)
    errors[i] = static_cast<float>(std::sqrt(static_cast<double>(costs[i])));
  return errors;
}

}  // namespace gck
