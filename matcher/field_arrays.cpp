#include "matcher/field_arrays.h"

#include <cmath>
#include <utility>

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

bool FieldFromArrays(const double* positions, int32_t rows, int32_t cols, int32_t k, Field* field) {
  const size_t anchors = size_t(rows) * size_t(cols);
  for (size_t i = 0; i < 2 * anchors * size_t(k); ++i) {
    const double v = positions[i];
    if (!(v >= 1 && v <= 65536) || v != std::floor(v)) return false;
  }
  Field read;
  read.rows = rows, read.cols = cols, read.k = k;
  read.match_rows.resize(anchors * k);
  read.match_cols.resize(anchors * k);
  for (int32_t s = 0; s < k; ++s) {
    const double* in_rows = positions + 2 * s * anchors;
    const double* in_cols = in_rows + anchors;
    for (size_t p = 0; p < anchors; ++p) {
      read.match_rows[p * k + s] = static_cast<int32_t>(in_rows[p]) - 1;
      read.match_cols[p * k + s] = static_cast<int32_t>(in_cols[p]) - 1;
    }
  }
  *field = std::move(read);
  return true;
}

}  // namespace gck
