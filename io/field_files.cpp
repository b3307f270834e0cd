#include "io/field_files.h"

#include <cstdio>
#include <vector>

#include "io/npy_file.h"

namespace gck {

namespace {

// Calls visit(from, to) for every entry: its index in the field and in C order, rows first.
template <class Visit>
void InRowOrder(const Field& field, Visit visit) {
  for (int32_t r = 0; r < field.rows; ++r)
    for (int32_t c = 0; c < field.cols; ++c)
      for (int32_t s = 0; s < field.k; ++s)
        visit((r + size_t(c) * field.rows) * field.k + s,
              (size_t(r) * field.cols + c) * field.k + s);
}

}  // namespace

bool WriteFieldNpy(std::FILE* file, const Field& field) {
  std::vector<int32_t> matches(field.anchors() * field.k * 2);
  InRowOrder(field, [&](size_t from, size_t to) {
    matches[2 * to] = field.match_rows[from];
    matches[2 * to + 1] = field.match_cols[from];
  });
  return WriteNpy(file, {field.rows, field.cols, field.k, 2}, matches);
}

bool WriteErrorsNpy(std::FILE* file, const Field& field) {
  std::vector<float> errors(field.anchors() * field.k);
  InRowOrder(field, [&](size_t from, size_t to) { errors[to] = field.errors[from]; });
  return WriteNpy(file, {field.rows, field.cols, field.k}, errors);
}

bool WriteFieldCsv(std::FILE* file, const Field& field) {
  bool ok = std::fprintf(file, "row,col,slot,match_row,match_col,error\n") > 0;
  for (int32_t r = 0; r < field.rows && ok; ++r) {
    for (int32_t c = 0; c < field.cols && ok; ++c) {
      for (int32_t s = 0; s < field.k; ++s) {
        const size_t e = (r + size_t(c) * field.rows) * field.k + s;
        ok &= std::fprintf(file, "%d,%d,%d,%d,%d,%.9g\n", r, c, s, field.match_rows[e],
                           field.match_cols[e], static_cast<double>(field.errors[e])) > 0;
      }
    }
  }
  return ok;
}

}  // namespace gck
