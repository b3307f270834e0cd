#pragma once
// A field in the layout MATLAB and Octave users get it (as annfield returns it): column-major
// arrays indexed by A's anchor, 1-based positions in B.

#include <cstddef>
#include <cstdint>

#include "matcher/field.h"

namespace gck {

// positions: rows x cols x 2 x k, (r, c, 1, s) the 1-based row in B of match s of anchor (r, c)
// and (r, c, 2, s) its column; errors (when not null): rows x cols x k, its patch error. Both are
// written in full.
void FieldToArrays(const Field& field, double* positions, float* errors);

// The field such arrays hold, for `rows` x `cols` anchors and k matches each: false, leaving the
// field as it was, when a position is not a whole number from 1 to 65536 (whether it lies in B is
// the matcher's check).
bool FieldFromArrays(const double* positions, int32_t rows, int32_t cols, int32_t k, Field* field);

// The errors of such arrays into a field read by FieldFromArrays.
template <class E>
void ErrorsFromArray(const E* errors, Field* field) {
  const size_t anchors = field->anchors();
  field->errors.resize(anchors * field->k);
  for (int32_t s = 0; s < field->k; ++s)
    for (size_t p = 0; p < anchors; ++p)
      field->errors[p * field->k + s] = static_cast<float>(errors[s * anchors + p]);
}

}  // namespace gck
