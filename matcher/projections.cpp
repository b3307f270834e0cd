#include "matcher/projections.h"

#include <algorithm>
#include <cassert>

#include "projection/first_projection.h"
#include "projection/gck_step.h"

namespace gck {
namespace {

// Right shift that keeps the projections of kernels wider than 8 inside int16.
int32_t ScaleShift(int32_t side) {
  int32_t shift = 0;
  for (int32_t s = side; s > 8; s /= 2) shift += 2;
  return shift;
}

template <class T>
void ProjectChain(const Image& image, const KernelChain& chain, int32_t planes_kept,
                  Projections* out) {
  const int32_t side = chain.side;
  const int32_t channels = image.channels;
  // 2s - 1 rows and columns of zeros before the image hold the zero-valued seeds of every chain;
  // one after it keeps the last anchor inside the range each GCK step computes.
  const int32_t pad = 2 * side - 1;
  const int32_t rows = pad + image.rows + 1;
  const int32_t cols = pad + image.cols + 1;
  const size_t plane = static_cast<size_t>(rows) * cols;
  std::vector<uint8_t> padded(plane * channels, 0);
  for (int32_t k = 0; k < channels; ++k)
    for (int32_t c = 0; c < image.cols; ++c)
      std::copy_n(&image.pixels[c * size_t(image.rows) + k * image.plane()], image.rows,
                  &padded[k * plane + (pad + c) * size_t(rows) + pad]);

  std::vector<uint32_t> table(padded.size());
  std::vector<T> current(padded.size(), 0), next(padded.size());
  FirstProjection(padded.data(), rows, cols * channels, side, table.data(), current.data());

  const int32_t shift = ScaleShift(side);
  const size_t anchors = static_cast<size_t>(out->rows) * out->cols;
  const size_t values = static_cast<size_t>(out->values);
  const int32_t kernels = static_cast<int32_t>(chain.row_sequency.size());
  for (int32_t n = 0; n < kernels; ++n) {
    if (n > 0) {
      std::fill(next.begin(), next.end(), T{0});
      GckStep(current.data(), next.data(), rows, cols, channels, chain.steps[n - 1]);
      current.swap(next);
    }
    for (int32_t k = 0; k < channels; ++k) {
      const int32_t v = n * channels + k;
      int16_t* stack = out->stack.data() + v;
      for (int32_t c = 0; c < out->cols; ++c) {
        const T* from = current.data() + k * plane + (pad + c) * size_t(rows) + pad;
        int16_t* to = stack + size_t(c) * out->rows * values;
        for (int32_t r = 0; r < out->rows; ++r)
          to[r * values] = static_cast<int16_t>(from[r] >> shift);
      }
      if (v >= planes_kept) continue;
      int16_t* kept = out->planes.data() + v * anchors;
      for (size_t p = 0; p < anchors; ++p) kept[p] = stack[p * values];
    }
  }
}

}  // namespace

Projections Project(const Image& image, int32_t width, const KernelChain& chain,
                    int32_t planes_kept) {
  assert(chain.side >= 1 && chain.side <= width && width <= std::min(image.rows, image.cols));
  Projections out;
  out.rows = image.rows - width + 1;
  out.cols = image.cols - width + 1;
  out.values = static_cast<int32_t>(chain.row_sequency.size()) * image.channels;
  const int32_t kept = std::clamp(planes_kept, 0, out.values);
  const size_t anchors = static_cast<size_t>(out.rows) * out.cols;
  out.planes_kept = kept;
  out.planes.resize(anchors * kept);
  out.stack.resize(anchors * out.values);
  if (chain.side <= 8) {
    ProjectChain<int16_t>(image, chain, kept, &out);
  } else {
    ProjectChain<int32_t>(image, chain, kept, &out);
  }
  return out;
}

}  // namespace gck
