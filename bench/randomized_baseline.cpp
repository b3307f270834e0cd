#include "bench/randomized_baseline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "matcher/refine.h"

namespace gck {
namespace {

Image Colour(const Image& image, int32_t channels) {
  if (image.channels == channels) return image;
  Image out = BlankImage(image.rows, image.cols, channels);
  for (int32_t k = 0; k < channels; ++k)
    std::copy(image.pixels.begin(), image.pixels.end(), out.pixels.begin() + k * image.plane());
  return out;
}

uint64_t Next(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int32_t Below(uint64_t* state, int32_t n) {
  return static_cast<int32_t>(((Next(state) >> 32) * static_cast<uint64_t>(n)) >> 32);
}


}  // namespace

Field RandomizedBaseline(const Image& a_in, const Image& b_in, int32_t width, int32_t iterations,
                         uint64_t seed) {
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const Image a = Colour(a_in, channels);
  const Image b = Colour(b_in, channels);
  const int32_t rows = a.rows - width + 1, cols = a.cols - width + 1;
  const int32_t rows_b = b.rows - width + 1, cols_b = b.cols - width + 1;
  const size_t anchors = size_t(rows) * cols;
  std::vector<int32_t> mr(anchors), mc(anchors);
  std::vector<uint32_t> cost(anchors);
  uint64_t state = seed;
  for (int32_t c = 0; c < cols; ++c) {
    for (int32_t r = 0; r < rows; ++r) {
      const size_t p = r + size_t(c) * rows;
      mr[p] = Below(&state, rows_b);
      mc[p] = Below(&state, cols_b);
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
          improve(p, r, c, r0 + Below(&state, r1 - r0), c0 + Below(&state, c1 - c0));
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
