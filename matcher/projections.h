#pragma once
// Walsh-Hadamard projections of every whole patch of an image, by the first projection and a chain
// of GCK steps.

#include <cstdint>
#include <vector>

#include "matcher/image.h"
#include "matcher/kernel_chain.h"
#include "matcher/uninitialized.h"

namespace gck {

// Anchors are the pixels whose width x width patch lies inside the image: rows x cols of them.
struct Projections {
  int32_t rows = 0;
  int32_t cols = 0;
  int32_t values = 0;  // per anchor: kernels x channels, kernel-major
  int32_t planes_kept = 0;
  // Plane v (kernel v / channels, channel v % channels) of rows * cols values, column-major; only
  // the first `planes_kept` planes are kept this way.
  std::vector<int16_t> planes;
  // The same values per anchor: value v of anchor p at p * values + v (the sweeps' layout).
  UninitializedVector<int16_t> stack;  // every value written by Project

  const int16_t* plane(int32_t v) const {
    return planes.data() + static_cast<size_t>(v) * rows * cols;
  }
};

// The projections of every anchor onto the chain's kernels. A kernel of side s <= width sees the
// top-left s x s pixels of each patch. Values are exact: the image is zero-padded so that every
// chain starts from windows that lie wholly in the padding, where the true projection is the zero
// the GCK step assumes. Kernels wider than 8 are computed in 32 bits and scaled down by s^2 / 64,
// so every value fits in int16 (|value| <= 255 * 64).
// Requires 1 <= chain.side <= width <= min(image.rows, image.cols).
Projections Project(const Image& image, int32_t width, const KernelChain& chain,
                    int32_t planes_kept);

// The largest |value| Project can return.
constexpr int32_t kProjectionLimit = 255 * 64;

}  // namespace gck
