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
#include "matcher/quality_names.h"

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
  if (TextOf(value, name, sizeof name) && QualityNamed(name, &quality)) return quality;
  char names[128] = "", shown[96];
  for (const QualityName& entry : kQualityNames) {
    const size_t used = std::strlen(names);
    std::snprintf(names + used, sizeof names - used, "%s'%s'", used == 0 ? "" : " or ", entry.name);
  }
  DescribeValue(value, shown, sizeof shown);
  FailAs("quality", "quality is %s, not '%s'", names, shown);
}

// The options of the struct `opts` (nullptr: none) over the setting its quality names.
MatchOptions ReadOptions(const mxArray* opts) {
  if (opts == nullptr) return QualityOptions(Quality::kDefault);
  if (!IsOneStruct(opts)) FailAs("options", "options must be one struct");
  const int fields = FieldCount(opts);
  int quality_field = -1;
  for (int f = 0; f < fields; ++f) {
    const char* name = FieldName(opts, f);
    bool known = std::strcmp(name, "quality") == 0;
    if (known) quality_field = f;
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
  return options;
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
  const MatchOptions options = ReadOptions(call.nrhs > 2 ? call.input(2) : nullptr);
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
  Field field;
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
