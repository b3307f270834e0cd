#pragma once
// A field in the layout MATLAB and Octave users get it (as annfield returns it): column-major
// arrays indexed by A's anchor, 1-based positions in B.

#include "matcher/field.h"

namespace gck {

// positions: rows x cols x 2 x k, (r, c, 1, s) the 1-based row in B of match s of anchor (r, c)
// and (r, c, 2, s) its column; errors (when not null): rows x cols x k, its patch error. Both are
// written in full.
void FieldToArrays(const Field& field, double* positions, float* errors);

}  // namespace gck
