// gckmatch._gckmatch: the matcher on NumPy arrays. The Python package wraps these calls; their
// documentation is there.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <string>

#include "error/patch_error.h"
#include "gckmatch/version.h"
#include "io/field_pictures.h"
#include "io/image_file.h"
#include "io/offsets_picture.h"
#include "matcher/matcher.h"
#include "python/src/arrays.h"

namespace py = pybind11;

namespace gck::python {
namespace {

MatchOptions OptionsOf(int32_t width, int32_t k, uint64_t seed, int32_t threads,
                       const std::string& quality, const py::object& progress) {
  Quality setting;
  if (!ParseQuality(quality, &setting)) {
    // "'fast', 'default', 'high' or 'best'"
    std::string names = "'" + QualityNames() + "'";
    for (size_t bar; (bar = names.find('|')) != std::string::npos;)
      names.replace(bar, 1, names.find('|', bar + 1) == std::string::npos ? "' or '" : "', '");
    throw MatchError("quality must be " + names + ", not '" + quality + "'");
  }
  MatchOptions options = QualityOptions(setting);
  options.width = width;
  options.k = k;
  options.seed = seed;
  options.threads = threads;
  // Both are called on this thread, which has let the GIL go; what they raise (KeyboardInterrupt
  // for a pending Ctrl-C) stops the match and leaves the call.
  if (!progress.is_none()) {
    options.progress = [progress](int32_t done, int32_t total) {
      py::gil_scoped_acquire gil;
      progress(done, total);
    };
  }
  options.cancelled = [] {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    return false;
  };
  return options;
}

using Positions = py::array_t<int32_t, py::array::c_style | py::array::forcecast>;
using Errors = py::array_t<float, py::array::c_style | py::array::forcecast>;

// The start field of C-ordered (rows, cols, k) arrays of positions and, when not None, errors.
Field StartOf(const Positions& rows, const Positions& cols, const py::object& errors) {
  if (rows.ndim() != 3 || cols.ndim() != 3 || rows.shape(2) < 1 || rows.shape(2) > 1024 ||
      !std::equal(rows.shape(), rows.shape() + 3, cols.shape()))
    throw MatchError("init must be a Field or (rows, cols[, errors]): (rows, cols, k) arrays of "
                     "one shape, k from 1 to 1024");
  Field start;
  start.rows = int32_t(std::min<py::ssize_t>(rows.shape(0), 65536));
  start.cols = int32_t(std::min<py::ssize_t>(rows.shape(1), 65536));
  start.k = int32_t(rows.shape(2));
  const size_t entries = start.anchors() * size_t(start.k);
  start.match_rows.resize(entries);
  start.match_cols.resize(entries);
  const float* error_values = nullptr;
  Errors error_array;
  if (!errors.is_none()) {
    error_array = Errors::ensure(errors);
    if (!error_array || error_array.ndim() != 3 ||
        !std::equal(rows.shape(), rows.shape() + 3, error_array.shape()))
      throw MatchError("init's errors must be an array of the positions' shape");
    error_values = error_array.data();
    start.errors.resize(entries);
  }
  for (int32_t r = 0; r < start.rows; ++r)
    for (int32_t c = 0; c < start.cols; ++c)
      for (int32_t s = 0; s < start.k; ++s) {
        const size_t from = (size_t(r) * start.cols + c) * start.k + s;
        const size_t to = (r + size_t(c) * start.rows) * start.k + s;
        start.match_rows[to] = rows.data()[from];
        start.match_cols[to] = cols.data()[from];
        if (error_values) start.errors[to] = error_values[from];
      }
  return start;
}

// The start field given as init, if any, kept in `start` for the match that `options` describe.
void UseStart(const py::object& rows, const py::object& cols, const py::object& errors,
              Field* start, MatchOptions* options) {
  if (rows.is_none()) return;
  *start = StartOf(rows.cast<Positions>(), cols.cast<Positions>(), errors);
  options->start_field = start;
}

py::tuple Match(const py::array& a, const py::array& b, int32_t width, int32_t k, uint64_t seed,
                int32_t threads, const std::string& quality, const py::object& progress,
                const py::object& init_rows, const py::object& init_cols,
                const py::object& init_errors) {
  MatchOptions options = OptionsOf(width, k, seed, threads, quality, progress);
  Field start;
  UseStart(init_rows, init_cols, init_errors, &start, &options);
  const PixelView view_a = ViewOf(a), view_b = ViewOf(b);
  Image image_a = ShapeOf(view_a), image_b = ShapeOf(view_b);
  CheckMatchable(image_a, image_b, options);
  CheckMemory(MatchMemory(image_a, image_b, options));
  Field field;
  {
    py::gil_scoped_release released;
    CopyPixels(view_a, &image_a);
    CopyPixels(view_b, &image_b);
    field = MatchImages(image_a, image_b, options);
  }
  return ArraysOf(field);
}

py::tuple MatchOwn(const py::array& a, int32_t width, int32_t k, uint64_t seed, int32_t threads,
                   const std::string& quality, const py::object& progress,
                   const py::object& init_rows, const py::object& init_cols,
                   const py::object& init_errors) {
  MatchOptions options = OptionsOf(width, k, seed, threads, quality, progress);
  Field start;
  UseStart(init_rows, init_cols, init_errors, &start, &options);
  const PixelView view = ViewOf(a);
  Image image = ShapeOf(view);
  CheckMatchable(image, image, options, /*self=*/true);
  CheckMemory(MatchMemory(image, image, options, /*self=*/true));
  Field field;
  {
    py::gil_scoped_release released;
    CopyPixels(view, &image);
    field = MatchSelf(image, options);
  }
  return ArraysOf(field);
}

py::array Rebuild(const py::array_t<int32_t, py::array::c_style | py::array::forcecast>& rows,
                  const py::array_t<int32_t, py::array::c_style | py::array::forcecast>& cols,
                  int32_t width, const py::array& b) {
  const PixelView view = ViewOf(b);
  Image image = ShapeOf(view);
  if (image.channels != 1 && image.channels != 3)
    throw MatchError("images must have 1 or 3 channels");
  if (image.rows > 65535 || image.cols > 65535)
    throw MatchError("images must be at most 65535 pixels high and wide");
  CopyPixels(view, &image);
  const Field field = BestOf(rows, cols, width, image);
  return ArrayOf(Reconstruct(field, image, field.rows + width - 1, field.cols + width - 1));
}

// The offsets picture of a field's best matches, for an A of the field's size plus width - 1.
py::array Offsets(const Positions& rows, const Positions& cols, int32_t width) {
  Field field = StartOf(rows, cols, py::none());
  if (width < 1 || field.rows + int64_t(width) - 1 > 65535 || field.cols + int64_t(width) - 1 > 65535)
    throw MatchError("patch width " + std::to_string(width) + " does not fit such a field");
  return ArrayOf(OffsetsPicture(field, field.rows + width - 1, field.cols + width - 1));
}

// `path` is the file system's bytes (os.fsencode), so any name the system holds can be read.
py::array Read(const py::bytes& path) {
  Image image;
  std::string error;
  if (!ReadImage(path, &image, &error)) {
    // The message names the file by those bytes, which need not be UTF-8.
    const py::object message = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeFSDefaultAndSize(error.data(), py::ssize_t(error.size())));
    if (message) PyErr_SetObject(PyExc_OSError, message.ptr());
    throw py::error_already_set();
  }
  return ArrayOf(std::move(image));
}

}  // namespace
}  // namespace gck::python

PYBIND11_MODULE(_gckmatch, m) {
  using namespace gck::python;
  m.doc() = "The matcher on NumPy arrays; use the gckmatch package, which documents every call.";
  m.attr("__version__") = GCKMATCH_VERSION;
  py::register_exception<gck::MatchError>(m, "MatchError", PyExc_ValueError);
  // The ranges the matcher takes, which the package checks before anything is converted.
  m.attr("LIMITS") = py::dict(py::arg("width") = py::make_tuple(1, gck::MaxPatchWidth(3)),
                              py::arg("k") = py::make_tuple(1, 64),
                              py::arg("threads") = py::make_tuple(0, gck::kMaxThreads));
  m.def("match", &Match, py::arg("a"), py::arg("b"), py::arg("width"), py::arg("k"),
        py::arg("seed"), py::arg("threads"), py::arg("quality"), py::arg("progress"),
        py::arg("init_rows"), py::arg("init_cols"), py::arg("init_errors"));
  m.def("match_self", &MatchOwn, py::arg("a"), py::arg("width"), py::arg("k"), py::arg("seed"),
        py::arg("threads"), py::arg("quality"), py::arg("progress"), py::arg("init_rows"),
        py::arg("init_cols"), py::arg("init_errors"));
  m.def("offsets_picture", &Offsets, py::arg("rows"), py::arg("cols"), py::arg("width"));
  m.def("reconstruct", &Rebuild, py::arg("rows"), py::arg("cols"), py::arg("width"), py::arg("b"));
  m.def("read_image", &Read, py::arg("path"));
}
