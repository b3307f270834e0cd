#pragma once
// The exact nearest neighbour of every anchor of A among the anchors of B: the accuracy floor the
// matcher is measured against.

#include <cstdint>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// For every anchor of A, an anchor of B with the smallest sum of squared differences over the
// width x width patch and every channel (k = 1). Exact: candidates are skipped only when a lower
// bound proves them no better than the best found, the bound being the energy of a few orthogonal
// Walsh-Hadamard projections of the patch difference divided by the kernels' squared norm.
// Channels are matched as in MatchImages. Requires 1 <= width <= every side of both images.
Field ExactSearch(const Image& a, const Image& b, int32_t width);

}  // namespace gck
