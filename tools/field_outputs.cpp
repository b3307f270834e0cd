#include "tools/field_outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/npy_file.h"

namespace gck {

Image Reconstruct(const Field& field, const Image& b, int32_t rows, int32_t cols) {
  Image out = BlankImage(rows, cols, b.channels);
  std::vector<uint32_t> sums(out.pixels.size(), 0), counts(out.plane(), 0);
  for (int32_t c = 0; c < field.cols; ++c) {
    for (int32_t r = 0; r < field.rows; ++r) {
      const size_t p = (r + size_t(c) * field.rows) * field.k;
      const int32_t rb = field.match_rows[p], cb = field.match_cols[p];
      for (int32_t dc = 0; dc < field.width; ++dc) {
        for (int32_t dr = 0; dr < field.width; ++dr) {
          const size_t at = (r + dr) + size_t(c + dc) * rows;
          ++counts[at];
          for (int32_t k = 0; k < b.channels; ++k)
            sums[at + k * out.plane()] += b.at(rb + dr, cb + dc, k);
        }
      }
    }
  }
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const uint32_t n = counts[i % out.plane()];
    out.pixels[i] = static_cast<uint8_t>(n ? (sums[i] + n / 2) / n : 0);
  }
  return out;
}

Image ErrorImage(const Field& field, int32_t rows, int32_t cols) {
  Image out = BlankImage(rows, cols, 1);
  const double per_pixel = std::sqrt(double(field.width) * field.width * field.channels);
  for (int32_t c = 0; c < cols; ++c) {
    for (int32_t r = 0; r < rows; ++r) {
      const size_t p =
          std::min(r, field.rows - 1) + size_t(std::min(c, field.cols - 1)) * field.rows;
      const double rms = field.errors[p * field.k] / per_pixel;
      out.at(r, c, 0) = static_cast<uint8_t>(std::min(255.0, std::round(4 * rms)));
    }
  }
  return out;
}

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
