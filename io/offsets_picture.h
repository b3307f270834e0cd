#pragma once
// A field's offsets as colours, for the eye.

#include <cstdint>

#include "io/stop.h"
#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// Every pixel of A (rows x cols) coloured by the offset from its anchor to the anchor's best match
// (the nearest anchor's past the last one): the hue tells the direction (right red, down
// yellow-green, left cyan, up violet), the saturation the length, full from the length that 95 %
// of the field's offsets stay within, and white is no offset. Beside it, on the right, the key: a
// wheel whose every point has the colour of the offset from its centre to it, the rim being that
// length. An empty image when `stop` asked to end it.
Image OffsetsPicture(const Field& field, int32_t rows, int32_t cols, const Stop& stop = {});

}  // namespace gck
