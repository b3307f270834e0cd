#include "io/field_files.h"

#include <algorithm>
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

// Writes the field's entries as a .npy array in C order, rows first, `values` elements of T per
// entry (put(from, to) fills those of entry `from` at `to`). A slice of about a megabyte of rows
// at a time: read down the field's columns, written across, it stays in the caches, and a stop
// is heard between slices.
template <class T, class Put>
bool WriteInRowSlices(std::FILE* file, const Field& field, std::vector<int64_t> shape,
                      size_t values, Put put, const Stop& stop) {
  const std::string header = NpyHeader(NpyType<T>::name, shape);
  if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) return false;
  const size_t row = size_t(std::max(field.cols, 0)) * size_t(field.k) * values;
  if (row == 0) return true;
  const int32_t slice = int32_t(std::max<size_t>(1, (size_t{1} << 20) / (row * sizeof(T))));
  std::vector<T> buffer(std::min<size_t>(size_t(slice), size_t(field.rows)) * row);
  for (int32_t first = 0; first < field.rows; first += slice) {
    if (Stopped(stop)) return false;
    const int32_t last = std::min(field.rows, first + slice);
    for (int32_t c = 0; c < field.cols; ++c)
      for (int32_t r = first; r < last; ++r)
        for (int32_t s = 0; s < field.k; ++s)
          put((r + size_t(c) * field.rows) * field.k + s,
              &buffer[(size_t(r - first) * field.cols + c) * field.k * values + s * values]);
    const size_t count = size_t(last - first) * row;
    if (std::fwrite(buffer.data(), sizeof(T), count, file) != count) return false;
  }
  return true;
}

}  // namespace

bool WriteFieldNpy(std::FILE* file, const Field& field, const Stop& stop) {
  return WriteInRowSlices<int32_t>(
      file, field, {field.rows, field.cols, field.k, 2}, 2,
      [&](size_t from, int32_t* to) {
        to[0] = field.match_rows[from];
        to[1] = field.match_cols[from];
      },
      stop);
}

bool WriteErrorsNpy(std::FILE* file, const Field& field, const Stop& stop) {
  return WriteInRowSlices<float>(
      file, field, {field.rows, field.cols, field.k}, 1,
      [&](size_t from, float* to) { *to = field.errors[from]; }, stop);
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
