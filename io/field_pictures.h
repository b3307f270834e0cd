#pragma once
// Pictures of a field, made for the eye: A rebuilt from B's matched pixels, and the error of every
// pixel's match.

#include <cstdint>

#include "io/stop.h"
#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// A rebuilt from B: every pixel is the mean, over the patches of A that cover it, of the pixel at
// the same place in each patch's best match. Pixels of A are covered by at least one patch. An
// empty image when `stop` asked to end it.
Image Reconstruct(const Field& field, const Image& b, int32_t rows, int32_t cols,
                  const Stop& stop = {});

// One grey pixel per pixel of A: the RMS pixel difference of the best match of the anchor there
// (of the nearest anchor past the last one), 4 grey levels per unit, clipped at 255.
Image ErrorImage(const Field& field, int32_t rows, int32_t cols);

}  // namespace gck
