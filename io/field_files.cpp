#include "io/field_files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
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

namespace {

// Element i of a little-endian array of T as a double.
template <class T>
double ElementOf(const NpyArray& array, size_t i) {
  T value;
  std::memcpy(&value, array.data.data() + i * sizeof(T), sizeof(T));
  return static_cast<double>(value);
}

std::string ShapeText(const std::vector<int64_t>& shape) {
  std::string text;
  for (const int64_t d : shape) text += (text.empty() ? "" : " x ") + std::to_string(d);
  return text.empty() ? "a single value" : text;
}

}  // namespace

bool ReadFieldNpy(const std::string& path, Field* field, std::string* error) {
  NpyArray array;
  if (!ReadNpy(path, &array, error)) return false;
  const std::vector<int64_t>& shape = array.shape;
  if (shape.size() != 4 || shape[3] != 2 || shape[0] < 1 || shape[1] < 1 || shape[2] < 1 ||
      shape[0] > 65535 || shape[1] > 65535) {
    *error = "'" + path + "' holds a " + ShapeText(shape) +
             " array, not a field: rows x columns x k x 2 positions";
    return false;
  }
  if (array.dtype != "<i4" && array.dtype != "<i8") {
    *error = "'" + path + "' holds elements of type '" + array.dtype +
             "', not positions: int32 or int64";
    return false;
  }
  Field read;
  read.rows = int32_t(shape[0]), read.cols = int32_t(shape[1]), read.k = int32_t(shape[2]);
  read.match_rows.resize(read.anchors() * read.k);
  read.match_cols.resize(read.match_rows.size());
  bool fits = true;
  InRowOrder(read, [&](size_t at, size_t from) {
    const double row = array.dtype == "<i4" ? ElementOf<int32_t>(array, 2 * from)
                                            : ElementOf<int64_t>(array, 2 * from);
    const double col = array.dtype == "<i4" ? ElementOf<int32_t>(array, 2 * from + 1)
                                            : ElementOf<int64_t>(array, 2 * from + 1);
    fits = fits && row >= 0 && row <= 65535 && col >= 0 && col <= 65535;
    read.match_rows[at] = fits ? int32_t(row) : 0;
    read.match_cols[at] = fits ? int32_t(col) : 0;
  });
  if (!fits) {
    *error = "'" + path + "' holds a negative position or one past any image";
    return false;
  }
  *field = std::move(read);
  return true;
}

bool ReadErrorsNpy(const std::string& path, Field* field, std::string* error) {
  NpyArray array;
  if (!ReadNpy(path, &array, error)) return false;
  const std::vector<int64_t> wanted = {field->rows, field->cols, field->k};
  if (array.shape != wanted) {
    *error = "'" + path + "' holds a " + ShapeText(array.shape) + " array, not the errors of a " +
             ShapeText(wanted) + " field";
    return false;
  }
  if (array.dtype != "<f4" && array.dtype != "<f8") {
    *error = "'" + path + "' holds elements of type '" + array.dtype +
             "', not errors: float32 or float64";
    return false;
  }
  field->errors.resize(field->anchors() * field->k);
  InRowOrder(*field, [&](size_t at, size_t from) {
    field->errors[at] = static_cast<float>(array.dtype == "<f4" ? ElementOf<float>(array, from)
                                                                : ElementOf<double>(array, from));
  });
  return true;
}

bool WriteFieldCsv(std::FILE* file, const Field& field, const Stop& stop) {
  bool ok = std::fprintf(file, "row,col,slot,match_row,match_col,error\n") > 0;
  for (int32_t r = 0; r < field.rows && ok; ++r) {
    if (Stopped(stop)) return false;
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
