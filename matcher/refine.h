#pragma once
// Exact refinement of a field: propagation sweeps that score neighbours' matches, moved by one
// pixel, on the exact patch distance.

#include <cstdint>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// Sum of squared differences between the patch of A at (ra, ca) and that of B at (rb, cb) over
// every channel, or some value above `limit` as soon as the sum passes it. Both patches must lie
// inside their images, which must have the same number of channels.
uint32_t PatchSsd(const Image& a, int32_t ra, int32_t ca, const Image& b, int32_t rb, int32_t cb,
                  int32_t width, uint32_t limit);

// `passes` sweeps over the anchors of a k = 1 field, alternately in increasing and decreasing
// column-major order. Each anchor tries the matches of the two neighbours visited just before it,
// moved one pixel the same way, and keeps whichever has the smallest exact error. Errors never
// grow. `a` and `b` are the images the field was made from, with equal channel counts.
void RefineField(const Image& a, const Image& b, int32_t passes, Field* field);

}  // namespace gck
