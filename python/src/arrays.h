#pragma once
// NumPy arrays to and from the matcher's images and fields.

#include <pybind11/numpy.h>

#include <cstdint>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck::python {

// Where the pixels of an H x W or H x W x C uint8 array lie; steps are in bytes and may be negative.
struct PixelView {
  const uint8_t* data = nullptr;
  int64_t rows = 0, cols = 0, channels = 1;
  int64_t row_step = 0, col_step = 0, channel_step = 0;
};

// Throws MatchError unless the array is uint8 with two or three dimensions. The view is valid while
// the array lives and reading it needs no GIL.
PixelView ViewOf(const pybind11::array& array);

// The image the view will become, without its pixels: enough for the matcher's checks, so a bad
// shape is refused before anything is allocated. Sides past the matcher's limit are clamped.
Image ShapeOf(const PixelView& view);

// Fills image (from ShapeOf) with the view's pixels in the matcher's column-major planar layout.
void CopyPixels(const PixelView& view, Image* image);

// The image as an H x W or H x W x 3 array in Fortran order, which is the matcher's layout: the
// pixels move into the array without a copy.
pybind11::array ArrayOf(Image&& image);

// The field's rows, columns and errors as C-ordered (rows, cols, k) arrays.
pybind11::tuple ArraysOf(const Field& field);

// A field of k = 1 (the best matches only) from C-ordered (rows, cols, k) arrays of positions.
// Throws MatchError unless both have that shape and every position with the width fits in b.
Field BestOf(const pybind11::array_t<int32_t>& rows, const pybind11::array_t<int32_t>& cols,
             int32_t width, const Image& b);

}  // namespace gck::python
