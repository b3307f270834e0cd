#pragma once
// The classic randomized patch matcher, as the usual alternative to compare against: random start,
// propagation from the neighbours visited last in alternating scan orders, and random search in
// windows that halve around the current match. Single-threaded, exact patch distances.

#include <cstdint>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// For every anchor of A, an anchor of B (k = 1). Channels are matched as in MatchImages.
Field RandomizedBaseline(const Image& a, const Image& b, int32_t width, int32_t iterations,
                         uint64_t seed);

}  // namespace gck
