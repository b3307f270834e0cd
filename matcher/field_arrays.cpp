#include "matcher/field_arrays.h"

namespace gck {

void FieldToArrays(const Field& field, double* positions, float* errors) {
  const size_t anchors = field.anchors();
  for (int32_t s = 0; s < field.k; ++s) {
    double* rows = positions + 2 * s * anchors;
    double* cols = rows + anchors;
    float* errs = errors != nullptr ? errors + s * anchors : nullptr;
    for (size_t p = 0; p < anchors; ++p) {
      const size_t entry = p * field.k + s;
      rows[p] = field.match_rows[entry] + 1.0;
      cols[p] = field.match_cols[entry] + 1.0;
      if (errs != nullptr) errs[p] = field.errors[entry];
    }
  }
}

}  // namespace gck
