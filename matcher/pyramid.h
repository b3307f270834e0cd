#pragma once
// Coarser copies of an image: each level halves the rows and columns by averaging 2 x 2 blocks.

#include <vector>

#include "matcher/interleaved.h"

namespace gck {

// The image at half the size, each pixel the rounded mean of a 2 x 2 block (a last odd row or
// column is dropped).
InterleavedImage HalfSize(const InterleavedImage& image);

}  // namespace gck
