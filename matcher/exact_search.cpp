#include "matcher/exact_search.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "matcher/kernel_chain.h"
#include "matcher/projections.h"

namespace gck {
namespace {

// The bound uses projections of the top-left s x s sub-patch (s <= 8, a power of two, so no value
// is scaled): each kernel has squared norm s^2, and the kernels are orthogonal, so sum_v (Pa_v -
// Pb_v)^2 <= s^2 * SSD(sub-patch) <= s^2 * SSD(patch).
constexpr int32_t kBoundKernels = 4;

// Sum of squared differences of two patches over every channel, or some value above `limit` as
// soon as the sum passes it.
uint32_t PatchSsd(const Image& a, int32_t ra, int32_t ca, const Image& b, int32_t rb, int32_t cb,
                  int32_t width, uint32_t limit) {
  uint32_t sum = 0;
  for (int32_t k = 0; k < a.channels; ++k) {
    for (int32_t dc = 0; dc < width; ++dc) {
      const uint8_t* x = &a.pixels[k * a.plane() + (ca + dc) * size_t(a.rows) + ra];
      const uint8_t* y = &b.pixels[k * b.plane() + (cb + dc) * size_t(b.rows) + rb];
      uint32_t column = 0;
      for (int32_t dr = 0; dr < width; ++dr) {
        const int32_t d = int32_t(x[dr]) - int32_t(y[dr]);
        column += static_cast<uint32_t>(d * d);
      }
      sum += column;
      if (sum > limit) return sum;
    }
  }
  return sum;
}


}  // namespace

Field ExactSearch(const Image& a_in, const Image& b_in, int32_t width) {
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const Image a = WithChannels(a_in, channels);
  const Image b = WithChannels(b_in, channels);
  const int32_t side = std::min(KernelSide(width), 8);
  const KernelChain chain = SequencyChain(side, std::min(kBoundKernels, side * side), 1);
  const Projections pa = Project(a, width, chain, 0);
  const Projections pb = Project(b, width, chain, 0);
  const int32_t values = pa.values;
  const uint64_t norm = uint64_t(side) * side;

  // B's anchors sorted by the channel sum of their first projection: by Cauchy-Schwarz,
  // (sum_k dDC_k)^2 <= channels * sum_k dDC_k^2, so only a window of this order can hold a match.
  const int32_t pixels_b = pb.rows * pb.cols;
  std::vector<int32_t> dc_b(pixels_b);
  for (int32_t q = 0; q < pixels_b; ++q) {
    int32_t sum = 0;
    for (int32_t k = 0; k < channels; ++k) sum += pb.stack[size_t(q) * values + k];
    dc_b[q] = sum;
  }
  std::vector<int32_t> order(pixels_b);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t x, int32_t y) { return dc_b[x] < dc_b[y]; });
  std::vector<int32_t> sorted_dc(pixels_b);
  std::vector<int16_t> sorted_stack(size_t(pixels_b) * values);
  for (int32_t i = 0; i < pixels_b; ++i) {
    sorted_dc[i] = dc_b[order[i]];
    std::copy_n(&pb.stack[size_t(order[i]) * values], values, &sorted_stack[size_t(i) * values]);
  }

  Field field;
  field.rows = pa.rows;
  field.cols = pa.cols;
  field.k = 1;
  field.width = width;
  field.channels = channels;
  field.match_rows.resize(field.anchors());
  field.match_cols.resize(field.anchors());
  field.errors.resize(field.anchors());
  std::vector<int32_t> best_of(field.anchors());

  for (int32_t ca = 0; ca < pa.cols; ++ca) {
    for (int32_t ra = 0; ra < pa.rows; ++ra) {
      const int32_t p = ra + ca * pa.rows;
      const int16_t* pv = &pa.stack[size_t(p) * values];
      // Start from the best of the upper and left neighbours moved along, usually close already.
      int32_t best_q = std::min(p, pixels_b - 1);
      uint32_t best = UINT32_MAX;
      const auto consider = [&](int32_t q) {
        const uint32_t ssd = PatchSsd(a, ra, ca, b, q % pb.rows, q / pb.rows, width, best);
        if (ssd < best) best = ssd, best_q = q;
      };
      consider(best_q);
      if (ra > 0 && best_of[p - 1] + 1 < pixels_b) consider(best_of[p - 1] + 1);
      if (ca > 0 && best_of[p - pa.rows] + pb.rows < pixels_b)
        consider(best_of[p - pa.rows] + pb.rows);

      int32_t dc_a = 0;
      for (int32_t k = 0; k < channels; ++k) dc_a += pv[k];
      const auto bound_exceeds = [&](int32_t i) {
        const int16_t* qv = &sorted_stack[size_t(i) * values];
        const uint64_t limit = uint64_t(best) * norm;
        uint64_t sum = 0;
        for (int32_t v = 0; v < values; ++v) {
          const int64_t d = int64_t(pv[v]) - qv[v];
          sum += uint64_t(d * d);
          if (sum > limit) return true;
        }
        return false;
      };
      const auto window_passed = [&](int32_t i) {
        const int64_t d = int64_t(sorted_dc[i]) - dc_a;
        return uint64_t(d * d) > uint64_t(channels) * norm * best;
      };
      const int32_t middle = static_cast<int32_t>(
          std::lower_bound(sorted_dc.begin(), sorted_dc.end(), dc_a) - sorted_dc.begin());
      // Walk outward from the closest first projections, alternating sides, while either side can
      // still hold a better match; each improvement narrows the window.
      int32_t up = middle, down = middle - 1;
      bool up_open = up < pixels_b, down_open = down >= 0;
      while (up_open || down_open) {
        if (up_open) {
          if (window_passed(up)) {
            up_open = false;
          } else {
            if (!bound_exceeds(up)) consider(order[up]);
            up_open = ++up < pixels_b;
          }
        }
        if (down_open) {
          if (window_passed(down)) {
            down_open = false;
          } else {
            if (!bound_exceeds(down)) consider(order[down]);
            down_open = --down >= 0;
          }
        }
      }
      best_of[p] = best_q;
      field.match_rows[p] = best_q % pb.rows;
      field.match_cols[p] = best_q / pb.rows;
      field.errors[p] = static_cast<float>(std::sqrt(static_cast<double>(best)));
    }
  }
  return field;
}

}  // namespace gck
