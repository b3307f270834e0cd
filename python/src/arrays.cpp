#include "python/src/arrays.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "matcher/matcher.h"

namespace py = pybind11;

namespace gck::python {

PixelView ViewOf(const py::array& array) {
  if (array.dtype().kind() != 'u' || array.itemsize() != 1)
    throw MatchError("images must be uint8 arrays, not " + std::string(py::str(array.dtype())));
  if (array.ndim() != 2 && array.ndim() != 3)
    throw MatchError("images must be H x W (grey) or H x W x 3 (colour) arrays, not " +
                     std::to_string(array.ndim()) + "-dimensional");
  PixelView view;
  view.data = static_cast<const uint8_t*>(array.data());
  view.rows = array.shape(0);
  view.cols = array.shape(1);
  view.row_step = array.strides(0);
  view.col_step = array.strides(1);
  if (array.ndim() == 3) {
    view.channels = array.shape(2);
    view.channel_step = array.strides(2);
  }
  return view;
}

Image ShapeOf(const PixelView& view) {
  // One past the matcher's largest side, so its own check words the refusal.
  constexpr int64_t kClamp = 65536;
  Image image;
  image.rows = int32_t(std::min(view.rows, kClamp));
  image.cols = int32_t(std::min(view.cols, kClamp));
  image.channels = int32_t(std::min(view.channels, kClamp));
  return image;
}

void CopyPixels(const PixelView& view, Image* image) {
  image->pixels.resize(size_t(view.rows) * view.cols * view.channels);
  // Blocks of rows keep both sides in cache whichever of them is the contiguous one.
  constexpr int64_t kBlock = 64;
  for (int64_t r0 = 0; r0 < view.rows; r0 += kBlock) {
    const int64_t n = std::min(view.rows - r0, kBlock);
    for (int64_t k = 0; k < view.channels; ++k) {
      for (int64_t c = 0; c < view.cols; ++c) {
        const uint8_t* from = view.data + r0 * view.row_step + c * view.col_step + k * view.channel_step;
        uint8_t* to = image->pixels.data() + r0 + c * view.rows + k * image->plane();
        if (view.row_step == 1) {
          std::memcpy(to, from, size_t(n));
        } else {
          for (int64_t r = 0; r < n; ++r) to[r] = from[r * view.row_step];
        }
      }
    }
  }
}

py::array ArrayOf(Image&& image) {
  auto* pixels = new std::vector<uint8_t>(std::move(image.pixels));
  py::capsule owner(pixels, [](void* p) { delete static_cast<std::vector<uint8_t>*>(p); });
  std::vector<py::ssize_t> shape{image.rows, image.cols}, strides{1, image.rows};
  if (image.channels != 1) {
    shape.push_back(image.channels);
    strides.push_back(py::ssize_t(image.plane()));
  }
  return py::array(py::dtype::of<uint8_t>(), shape, strides, pixels->data(), owner);
}

py::tuple ArraysOf(const Field& field) {
  const std::vector<py::ssize_t> shape{field.rows, field.cols, field.k};
  py::array_t<int32_t> rows(shape), cols(shape);
  py::array_t<float> errors(shape);
  int32_t* rows_out = rows.mutable_data();
  int32_t* cols_out = cols.mutable_data();
  float* errors_out = errors.mutable_data();
  for (int32_t r = 0; r < field.rows; ++r) {
    for (int32_t c = 0; c < field.cols; ++c) {
      const size_t from = (r + size_t(c) * field.rows) * field.k;
      const size_t to = (size_t(r) * field.cols + c) * field.k;
      std::copy_n(&field.match_rows[from], field.k, rows_out + to);
      std::copy_n(&field.match_cols[from], field.k, cols_out + to);
      std::copy_n(&field.errors[from], field.k, errors_out + to);
    }
  }
  return py::make_tuple(rows, cols, errors);
}

Field BestOf(const py::array_t<int32_t>& rows, const py::array_t<int32_t>& cols, int32_t width,
             const Image& b) {
  if (rows.ndim() != 3 || cols.ndim() != 3 || rows.shape(2) < 1 ||
      !std::equal(rows.shape(), rows.shape() + 3, cols.shape()))
    throw MatchError("rows and cols must be two (rows, cols, k) arrays of one shape");
  if (width < 1) throw MatchError("patch width must be at least 1");
  if (rows.shape(0) + width - 1 > 65535 || rows.shape(1) + width - 1 > 65535)
    throw MatchError("images must be at most 65535 pixels high and wide");
  Field field;
  field.rows = int32_t(rows.shape(0));
  field.cols = int32_t(rows.shape(1));
  field.k = 1;
  field.width = width;
  field.channels = b.channels;
  field.match_rows.resize(field.anchors());
  field.match_cols.resize(field.anchors());
  const int64_t k = rows.shape(2);
  for (int32_t r = 0; r < field.rows; ++r) {
    for (int32_t c = 0; c < field.cols; ++c) {
      const int32_t rb = rows.data()[(int64_t(r) * field.cols + c) * k];
      const int32_t cb = cols.data()[(int64_t(r) * field.cols + c) * k];
      if (rb < 0 || cb < 0 || int64_t(rb) + width > b.rows || int64_t(cb) + width > b.cols)
        throw MatchError("the match (" + std::to_string(rb) + ", " + std::to_string(cb) +
                         ") of patch (" + std::to_string(r) + ", " + std::to_string(c) +
                         ") does not fit in a " + std::to_string(b.cols) + " x " +
                         std::to_string(b.rows) + " image with patch width " +
                         std::to_string(width));
      field.match_rows[r + size_t(c) * field.rows] = rb;
      field.match_cols[r + size_t(c) * field.rows] = cb;
    }
  }
  return field;
}

}  // namespace gck::python
