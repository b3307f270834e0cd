// [nnf, err] = nnfield(A, B, opts); nnfield(A, [], opts) matches A within itself.
// The matcher's field (matcher/matcher.h) in annfield's layout; every refusal has an identifier
// nnfield:<what>.
#include <cstdint>
#include <cstring>
#include <string>

#include "bridge/arguments.h"
#include "bridge/dimensions.h"
#include "bridge/gateway.h"
#include "bridge/options.h"
#include "error/patch_error.h"
#include "matcher/field_arrays.h"
#include "matcher/matcher.h"

namespace gck {
namespace {

constexpr char kUsage[] =
    "Usage: [nnf, err] = nnfield(A, B, opts), or nnfield(A, [], opts) to match A within itself";

struct ImageShape {
  int32_t rows, cols, channels;
};

// `[]`, and nothing else, stands for A itself.
bool IsSelf(const mxArray* b) {
  return ClassOfArgument(b) == ClassId::kDouble && !mxIsSparse(b) && DimensionCount(b) == 2 &&
         Dimension(b, 0) == 0 && Dimension(b, 1) == 0;
}

ImageShape ShapeOfImage(const mxArray* image, const char* name) {
  if (ClassOfArgument(image) != ClassId::kUint8 || mxIsComplex(image)) {
    FailAs("class", "%s must be a real uint8 image%s", name,
           name[0] == 'B' ? ", or [] to match A within itself" : "");
  }
  const int64_t channels = Dimension(image, 2);
  if (DimensionCount(image) > 3 || (channels != 1 && channels != 3)) {
    char dims[64];
    DescribeDimensions(image, dims, sizeof dims);
    FailAs("channels", "%s must be H x W (grey) or H x W x 3 (colour), not %s", name, dims);
  }
  const int64_t rows = Dimension(image, 0), cols = Dimension(image, 1);
  if (rows > 65535 || cols > 65535)
    FailAs("size", "images must be at most 65535 pixels high and wide");
  return {static_cast<int32_t>(rows), static_cast<int32_t>(cols), static_cast<int32_t>(channels)};
}

struct WholeOption {
  const char* name;
  int64_t low, high;
};

const WholeOption kWholeOptions[] = {{"width", 1, MaxPatchWidth(3)},
                                     {"k", 1, 64},
                                     {"seed", 0, 2147483647},
                                     {"threads", 0, kMaxThreads}};

void SetWhole(MatchOptions* options, const char* name, int64_t value) {
  if (std::strcmp(name, "width") == 0) options->width = static_cast<int32_t>(value);
  if (std::strcmp(name, "k") == 0) options->k = static_cast<int32_t>(value);
  if (std::strcmp(name, "seed") == 0) options->seed = static_cast<uint64_t>(value);
  if (std::strcmp(name, "threads") == 0) options->threads = static_cast<int32_t>(value);
}

Quality ReadQuality(const mxArray* value) {
  char name[32];
  Quality quality;
  if (TextOf(value, name, sizeof name) && ParseQuality(name, &quality)) return quality;
  // 'fast', 'default', 'high' or 'best'
  char names[128] = "", shown[96];
  const size_t count = sizeof kQualities / sizeof kQualities[0];
  for (size_t i = 0; i < count; ++i) {
    const size_t used = std::strlen(names);
    std::snprintf(names + used, sizeof names - used, "%s'%s'",
                  i == 0 ? "" : i + 1 == count ? " or " : ", ", SettingName(kQualities[i]));
  }
  DescribeValue(value, shown, sizeof shown);
  FailAs("quality", "quality is %s, not '%s'", names, shown);
}

// A start field's arrays: positions as nnfield returns them and, optionally, their errors.
struct StartArrays {
  const mxArray* positions = nullptr;
  const mxArray* errors = nullptr;
};

// The options of the struct `opts` (nullptr: none) over the setting its quality names; the start
// field's arrays, when given, into `start`.
MatchOptions ReadOptions(const mxArray* opts, StartArrays* start) {
  if (opts == nullptr) return QualityOptions(Quality::kDefault);
  if (!IsOneStruct(opts)) FailAs("options", "options must be one struct");
  const int fields = FieldCount(opts);
  int quality_field = -1;
  for (int f = 0; f < fields; ++f) {
    const char* name = FieldName(opts, f);
    bool known = std::strcmp(name, "quality") == 0;
    if (known) quality_field = f;
    if (std::strcmp(name, "init") == 0) known = true, start->positions = FieldValue(opts, f);
    if (std::strcmp(name, "init_err") == 0) known = true, start->errors = FieldValue(opts, f);
    for (const WholeOption& option : kWholeOptions)
      known = known || std::strcmp(name, option.name) == 0;
    if (!known) FailAs("option", "unknown option '%s'", name);
  }
  MatchOptions options = QualityOptions(
      quality_field >= 0 ? ReadQuality(FieldValue(opts, quality_field)) : Quality::kDefault);
  for (int f = 0; f < fields; ++f) {
    for (const WholeOption& option : kWholeOptions) {
      if (std::strcmp(FieldName(opts, f), option.name) != 0) continue;
      int64_t value = 0;
      if (!WholeNumberOf(FieldValue(opts, f), option.low, option.high, &value)) {
        char shown[96];
        DescribeValue(FieldValue(opts, f), shown, sizeof shown);
        FailAs(option.name, "%s needs a whole number from %lld to %lld, not '%s'", option.name,
               static_cast<long long>(option.low), static_cast<long long>(option.high), shown);
      }
      SetWhole(&options, option.name, value);
    }
  }
  if (start->errors && !start->positions) FailAs("init", "init_err needs init beside it");
  return options;
}

bool IsPlainArray(const mxArray* array, ClassId id) {
  return array != nullptr && ClassOfArgument(array) == id && !mxIsSparse(array) &&
         !mxIsComplex(array);
}

// The start field of opts.init (rows x cols x 2 x k, 1-based, as nnf) and opts.init_err (rows x
// cols x k, as err) for `rows` x `cols` anchors of A, matched in B's `rows_b` x `cols_b`.
Field ReadStart(const StartArrays& arrays, int32_t rows, int32_t cols, int32_t rows_b,
                int32_t cols_b) {
  const mxArray* init = arrays.positions;
  const int dims = DimensionCount(init);
  const int64_t k = Dimension(init, 3);
  if (!IsPlainArray(init, ClassId::kDouble) || dims > 4 || Dimension(init, 0) != rows ||
      Dimension(init, 1) != cols || Dimension(init, 2) != 2 || k < 1 || k > 1024) {
    char shown[96];
    DescribeValue(init, shown, sizeof shown);
    FailAs("init", "init must be a %d x %d x 2 x k double array of matches as nnf, not %s", rows,
           cols, shown);
  }
  Field start;
  if (!FieldFromArrays(static_cast<const double*>(DataOf(init)), rows, cols, int32_t(k), &start))
    FailAs("init", "init must hold whole numbers from 1 to 65536: rows and columns in B");
  for (size_t e = 0; e < start.match_rows.size(); ++e)
    if (start.match_rows[e] >= rows_b || start.match_cols[e] >= cols_b) {
      const size_t p = e / size_t(k);
      FailAs("init", "init's match (%d, %d) of anchor (%d, %d) lies outside B's %d x %d anchors",
             start.match_rows[e] + 1, start.match_cols[e] + 1, int(p % size_t(rows)) + 1,
             int(p / size_t(rows)) + 1, rows_b, cols_b);
    }
  const mxArray* errors = arrays.errors;
  if (errors == nullptr) return start;
  const bool single = IsPlainArray(errors, ClassId::kSingle);
  if ((!single && !IsPlainArray(errors, ClassId::kDouble)) || DimensionCount(errors) > 3 ||
      Dimension(errors, 0) != rows || Dimension(errors, 1) != cols || Dimension(errors, 2) != k) {
    char shown[96];
    DescribeValue(errors, shown, sizeof shown);
    FailAs("init", "init_err must be a %d x %d x %lld single or double array as err, not %s", rows,
           cols, static_cast<long long>(k), shown);
  }
  if (single) {
    ErrorsFromArray(static_cast<const float*>(DataOf(errors)), &start);
  } else {
    ErrorsFromArray(static_cast<const double*>(DataOf(errors)), &start);
  }
  return start;
}

// An image without its pixels, for the checks that need only its shape.
Image ShapeOnly(const ImageShape& shape) {
  Image image;
  image.rows = shape.rows;
  image.cols = shape.cols;
  image.channels = shape.channels;
  return image;
}

// The matcher's limits that annfield names by option, then the rest of them.
void RequireMatchable(const ImageShape& a, const ImageShape& b, const MatchOptions& options,
                      bool self) {
  for (const ImageShape* image : {&a, &b}) {
    if (options.width > image->rows || options.width > image->cols)
      FailAs("width", "patch width %d is larger than a %d x %d image", options.width, image->cols,
             image->rows);
  }
  const int64_t anchors_b = int64_t(b.rows - options.width + 1) * (b.cols - options.width + 1);
  if (anchors_b < options.k + (self ? 1 : 0)) FailAs("k", "too few patches for k = %d", options.k);
  try {
    CheckMatchable(ShapeOnly(a), ShapeOnly(b), options, self);
  } catch (const MatchError& error) {
    FailAs("size", "%s", error.what());
  }
  const int64_t anchors_a = int64_t(a.rows - options.width + 1) * (a.cols - options.width + 1);
  if (anchors_a * options.k * 2 > INT32_MAX) FailAs("size", "images are too large");
}

Image ImageOf(const mxArray* array, const ImageShape& shape) {
  Image image = ShapeOnly(shape);
  const auto* pixels = static_cast<const uint8_t*>(DataOf(array));
  image.pixels.assign(pixels, pixels + image.plane() * shape.channels);
  return image;
}

void Body(Call& call) {
  if (call.nrhs < 2 || call.nrhs > 3 || call.nlhs > 2) FailAs("usage", "%s", kUsage);
  const bool self = IsSelf(call.input(1));
  const ImageShape a = ShapeOfImage(call.input(0), "A");
  const ImageShape b = self ? a : ShapeOfImage(call.input(1), "B");
  StartArrays start_arrays;
  MatchOptions options = ReadOptions(call.nrhs > 2 ? call.input(2) : nullptr, &start_arrays);
  RequireMatchable(a, b, options, self);

  // The outputs first, while the call owns no memory of its own.
  const int32_t rows = a.rows - options.width + 1, cols = a.cols - options.width + 1;
  const int32_t k = options.k;
  double* positions = k == 1 ? CreateOutputOfSizes<double>(call, 0, {rows, cols, 2})
                             : CreateOutputOfSizes<double>(call, 0, {rows, cols, 2, k});
  float* errors = nullptr;
  if (call.nlhs > 1) {
    errors = k == 1 ? CreateOutputOfSizes<float>(call, 1, {rows, cols})
                    : CreateOutputOfSizes<float>(call, 1, {rows, cols, k});
  }
  Field field, start;
  if (start_arrays.positions) {
    start = ReadStart(start_arrays, rows, cols, b.rows - options.width + 1,
                      b.cols - options.width + 1);
    options.start_field = &start;
    try {
      CheckMatchable(ShapeOnly(a), ShapeOnly(b), options, self);
    } catch (const MatchError& error) {
      FailAs("init", "%s", error.what());
    }
  }
  try {
    const Image image_a = ImageOf(call.input(0), a);
    field = self ? MatchSelf(image_a, options)
                 : MatchImages(image_a, ImageOf(call.input(1), b), options);
  } catch (const MatchError& error) {
    FailAs("failed", "%s", error.what());
  }
  FieldToArrays(field, positions, errors);
}

}  // namespace
}  // namespace gck

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  gck::RunIdentifiedGateway(nlhs, plhs, nrhs, prhs, gck::Body, "nnfield");
}
