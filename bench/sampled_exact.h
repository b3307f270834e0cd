#pragma once
// Exact nearest neighbours for a sample of A's anchors: the accuracy floor on pairs too large for
// an exhaustive search of every anchor.

#include <cstdint>
#include <vector>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// `count` anchors of A drawn evenly at random (the same for a given seed), as r + c * rows.
std::vector<uint32_t> SampleAnchors(const Image& a, int32_t width, int32_t count, uint64_t seed);

// For each sampled anchor, the smallest patch error (root of the sum of squared differences)
// over every anchor of B. `hint` (a field of the pair) gives a starting bound, which only speeds
// the search up.
std::vector<float> SampledExactErrors(const Image& a, const Image& b, int32_t width,
                                      const std::vector<uint32_t>& anchors, const Field& hint);

// For each sampled anchor, the k smallest sums of squared differences over the anchors of B (over
// the other anchors of A when `self`, with b = a), ascending: anchor i's at i * k .. i * k + k - 1.
// `hint`'s lists give the starting bounds. Requires B to have k anchors (k + 1 when `self`).
std::vector<uint32_t> SampledExactCosts(const Image& a, const Image& b, int32_t width, int32_t k,
                                        bool self, const std::vector<uint32_t>& anchors,
                                        const Field& hint);

}  // namespace gck
