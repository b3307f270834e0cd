#include "bench/randomized_baseline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "matcher/split_mix.h"

namespace gck {
namespace {

// The image as such a program keeps it: row-major, channels interleaved, so one patch row is
// width x channels contiguous bytes.
std::vector<uint8_t> RowMajor(const Image& image) {
  std::vector<uint8_t> out(image.plane() * image.channels);
  for (int32_t r = 0; r < image.rows; ++r)
    for (int32_t c = 0; c < image.cols; ++c)
      for (int32_t k = 0; k < image.channels; ++k)
        out[(size_t(r) * image.cols + c) * image.channels + k] = image.at(r, c, k);
  return out;
}

}  // namespace

Field RandomizedBaseline(const Image& a_in, const Image& b_in, int32_t width, int32_t iterations,
                         uint64_t seed) {
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const std::vector<uint8_t> a = RowMajor(WithChannels(a_in, channels));
  const std::vector<uint8_t> b = RowMajor(WithChannels(b_in, channels));
  const size_t stride_a = size_t(a_in.cols) * channels, stride_b = size_t(b_in.cols) * channels;
  const int32_t row_bytes = width * channels;
  const int32_t rows = a_in.rows - width + 1, cols = a_in.cols - width + 1;
  const int32_t rows_b = b_in.rows - width + 1, cols_b = b_in.cols - width + 1;
  const size_t anchors = size_t(rows) * cols;
  // Integer sum of squared differences, leaving after any patch row that exceeds `limit`.
  const auto ssd = [&](int32_t r, int32_t c, int32_t rb, int32_t cb, uint32_t limit) {
    const uint8_t* x = &a[r * stride_a + size_t(c) * channels];
    const uint8_t* y = &b[rb * stride_b + size_t(cb) * channels];
    uint32_t sum = 0;
    for (int32_t dr = 0; dr < width; ++dr, x += stride_a, y += stride_b) {
      for (int32_t i = 0; i < row_bytes; ++i) {
        const int32_t d = int32_t(x[i]) - int32_t(y[i]);
        sum += uint32_t(d * d);
      }
      if (sum > limit) return sum;
    }
    return sum;
  };
  // Row-major field, as the scans go.
  std::vector<int32_t> mr(anchors), mc(anchors);
  std::vector<uint32_t> cost(anchors);
  SplitMix64 random(seed);
  const auto below = [&random](int32_t n) { return static_cast<int32_t>(random.Below(n)); };
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const size_t p = size_t(r) * cols + c;
      mr[p] = below(rows_b);
      mc[p] = below(cols_b);
      cost[p] = ssd(r, c, mr[p], mc[p], UINT32_MAX);
    }
  const auto improve = [&](size_t p, int32_t r, int32_t c, int32_t rb, int32_t cb) {
    const uint32_t d = ssd(r, c, rb, cb, cost[p]);
    if (d < cost[p]) cost[p] = d, mr[p] = rb, mc[p] = cb;
  };
  for (int32_t iteration = 0; iteration < iterations; ++iteration) {
    // Even iterations from the top-left (neighbours left and above), odd ones from the
    // bottom-right (neighbours right and below).
    const int32_t step = iteration % 2 == 0 ? 1 : -1;
    for (int32_t i = 0; i < rows; ++i) {
      const int32_t r = step > 0 ? i : rows - 1 - i;
      for (int32_t j = 0; j < cols; ++j) {
        const int32_t c = step > 0 ? j : cols - 1 - j;
        const size_t p = size_t(r) * cols + c;
        if (c - step >= 0 && c - step < cols) {
          const size_t n = p - step;
          const int32_t cb = mc[n] + step;
          if (cb >= 0 && cb < cols_b) improve(p, r, c, mr[n], cb);
        }
        if (r - step >= 0 && r - step < rows) {
          const size_t n = p - size_t(step) * cols;
          const int32_t rb = mr[n] + step;
          if (rb >= 0 && rb < rows_b) improve(p, r, c, rb, mc[n]);
        }
        // Random search over the whole of B, the window halving down to one pixel.
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
  field.match_rows.resize(anchors);
  field.match_cols.resize(anchors);
  field.errors.resize(anchors);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const size_t p = size_t(r) * cols + c, q = r + size_t(c) * rows;
      field.match_rows[q] = mr[p];
      field.match_cols[q] = mc[p];
      field.errors[q] = static_cast<float>(std::sqrt(static_cast<double>(cost[p])));
    }
  return field;
}

}  // namespace gck
