// projnext_i16_rgb, projnext_i32_rgb, projnext_i16_luma and projnext_i32_luma called through their
// built files.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "host/loader.h"
#include "tests/reference/gck_step_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;

struct Deliverable {
  const char* name;
  int bits;
  int planes;
  bool includes_last;  // whether d - w along the movement is computed
  const char* usage_name;
};

const Deliverable kI16Rgb{"projnext_i16_rgb", 16, 3, true, "projnext_i16_rgb"};
const Deliverable kI32Rgb{"projnext_i32_rgb", 32, 3, false, "projnext_i32_rgb"};
const Deliverable kI16Luma{"projnext_i16_luma", 16, 1, false, "projnext_i16_rgb"};
const Deliverable kI32Luma{"projnext_i32_luma", 32, 1, false, "projnext_i32_rgb"};

void PrintTo(const Deliverable& d, std::ostream* os) { *os << d.name; }

struct Step {
  int width;
  int delta;
  bool alpha_positive;
  bool horizontal;
};

// The four step arguments as a caller passes them.
struct StepArguments {
  explicit StepArguments(const Step& s)
      : width(Array::Scalar<uint16_t>(static_cast<uint16_t>(s.width))),
        positive(Array::Logical(s.alpha_positive)),
        delta(Array::Scalar<uint16_t>(static_cast<uint16_t>(s.delta))),
        horizontal(Array::Logical(s.horizontal)) {}
  std::vector<const Array*> With(const Array& image) const {
    return {&image, &width, &positive, &delta, &horizontal};
  }
  Array width, positive, delta, horizontal;
};

// The image argument in the deliverable's class, from values that fit it.
Array Image(const Deliverable& d, const std::vector<size_t>& dims, const std::vector<int64_t>& values) {
  if (d.bits == 16) return Array::Of<int16_t>(dims, std::vector<int16_t>(values.begin(), values.end()));
  return Array::Of<int32_t>(dims, std::vector<int32_t>(values.begin(), values.end()));
}

std::vector<int64_t> ValuesOf(const Array& out) {
  std::vector<int64_t> values;
  if (out.class_id() == mxINT16_CLASS) {
    for (int16_t v : out.Values<int16_t>()) values.push_back(v);
  } else {
    for (int32_t v : out.Values<int32_t>()) values.push_back(v);
  }
  return values;
}

std::vector<int64_t> RandomValues(size_t count, int64_t lo, int64_t hi, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int64_t> value(lo, hi);
  std::vector<int64_t> values(count);
  for (auto& v : values) v = value(rng);
  return values;
}

// Calls a deliverable on an image and a step; the call must succeed.
std::vector<int64_t> CallStep(const Deliverable& d, const Array& image, const Step& s) {
  const CallResult result = MexFile(d.name).Call(1, StepArguments(s).With(image));
  EXPECT_TRUE(result.ok()) << result.error;
  if (!result.ok()) return {};
  EXPECT_EQ(result.outputs[0].class_id(), d.bits == 16 ? mxINT16_CLASS : mxINT32_CLASS);
  EXPECT_EQ(result.outputs[0].dims(), (std::vector<size_t>{image.rows(), image.cols()}));
  return ValuesOf(result.outputs[0]);
}

std::vector<int64_t> Expected(const Deliverable& d, const std::vector<int64_t>& x, int rows,
                              int cols, const Step& s) {
  return reference::GckStep(x, {rows, cols, d.planes, s.width, s.delta, s.alpha_positive,
                                s.horizontal, d.includes_last, d.bits});
}

class ProjNextFile : public ::testing::TestWithParam<Deliverable> {};

TEST_P(ProjNextFile, MatchesTheDefinitionOnRandomImages) {
  const Deliverable d = GetParam();
  const int64_t limit = d.bits == 16 ? 32767 : 2147483647;
  unsigned seed = 1;
  for (int extra_cols : {0, 1, 2}) {  // columns past three planes, never read
    for (const Step& s : {Step{1, 1, true, false}, Step{4, 2, false, true}, Step{8, 8, true, true},
                          Step{9, 5, false, false}, Step{16, 16, true, false}}) {
      const size_t rows = 37, cols = 3 * 23 + extra_cols;
      // Full-range values: results wrap in both widths.
      const std::vector<int64_t> x = RandomValues(rows * cols, -limit - 1, limit, seed++);
      EXPECT_EQ(CallStep(d, Image(d, {rows, cols}, x), s), Expected(d, x, rows, cols, s))
          << "N=" << cols << " w=" << s.width << " delta=" << s.delta;
    }
  }
}

TEST_P(ProjNextFile, ThreeDimensionalImageIsOneMatrix) {
  const Deliverable d = GetParam();
  const size_t rows = 11, plane_cols = 9;
  const std::vector<int64_t> x = RandomValues(rows * plane_cols * 3, -500, 500, 4);
  for (const Step& s : {Step{2, 1, true, true}, Step{3, 2, false, false}}) {
    const std::vector<int64_t> planar = CallStep(d, Image(d, {rows, plane_cols, 3}, x), s);
    EXPECT_EQ(planar, CallStep(d, Image(d, {rows, plane_cols * 3}, x), s));
    EXPECT_EQ(planar, Expected(d, x, rows, plane_cols * 3, s));
  }
}

TEST_P(ProjNextFile, WorkedColumnOfOnes) {
  // Vertically with w = 2, delta = 1 each computed row adds 1 + 1 to the row above, and the first
  // computed row builds on the zero in row 1.
  const Deliverable d = GetParam();
  const int rows = 10, cols = 6;
  const Array ones = Image(d, {rows, cols}, std::vector<int64_t>(rows * cols, 1));
  const std::vector<int64_t> added = CallStep(d, ones, {2, 1, true, false});
  const std::vector<int64_t> subtracted = CallStep(d, ones, {2, 1, false, false});
  const int last_row = rows - 2 - (d.includes_last ? 0 : 1);
  const int plane_cols = cols / d.planes;
  for (int c = 0; c < cols; ++c) {
    for (int r = 0; r < rows; ++r) {
      const bool computed = c % plane_cols != 0 && r >= 2 && r <= last_row;
      EXPECT_EQ(added[r + c * rows], computed ? 2 * (r - 1) : 0) << "row " << r << " column " << c;
      EXPECT_EQ(subtracted[r + c * rows], 0) << "row " << r << " column " << c;
    }
  }
}

TEST_P(ProjNextFile, ResultsWrapInTheElementWidth) {
  const Deliverable d = GetParam();
  const int rows = 5, cols = 6;
  const Array image = Image(d, {rows, cols}, std::vector<int64_t>(rows * cols, 20000));
  const std::vector<int64_t> out = CallStep(d, image, {1, 1, true, false});
  // Column 1, rows 1 and 2: 20000 + 20000 + 0, then 20000 + 20000 + 40000.
  EXPECT_EQ(out[1 + rows], d.bits == 16 ? 40000 - 65536 : 40000);
  EXPECT_EQ(out[2 + rows], d.bits == 16 ? 80000 - 65536 : 80000);
}

TEST_P(ProjNextFile, EmptyRangesGiveZeros) {
  const Deliverable d = GetParam();
  const int rows = 8, cols = 3 * 8;
  const Array image = Image(d, {rows, cols}, RandomValues(rows * cols, -9, 9, 3));
  const std::vector<int64_t> zeros(rows * cols, 0);
  // 2w past the plane, and w past the plane or the whole matrix.
  for (int width : {5, 9, 25, 65535}) {
    EXPECT_EQ(CallStep(d, image, {width, 1, true, false}), zeros) << "w=" << width;
    if (d.planes == 3 || 2 * width > cols) {
      EXPECT_EQ(CallStep(d, image, {width, width, false, true}), zeros) << "w=" << width;
    }
  }
  // No rows, no columns, or two columns: no plane of three, and no column after w in one.
  for (const std::vector<size_t>& dims :
       {std::vector<size_t>{0, 6}, std::vector<size_t>{6, 0}, std::vector<size_t>{4, 2}}) {
    const size_t count = dims[0] * dims[1];
    const std::vector<int64_t> out =
        CallStep(d, Image(d, dims, std::vector<int64_t>(count, 7)), {1, 1, true, d.planes == 1});
    EXPECT_EQ(out, std::vector<int64_t>(count, 0));
  }
}

TEST_P(ProjNextFile, DebugFlagOfAnyClassChangesNothing) {
  const Deliverable d = GetParam();
  const Array image = Image(d, {7, 9}, RandomValues(63, -99, 99, 8));
  const StepArguments step({2, 2, true, true});
  const std::vector<int64_t> plain = CallStep(d, image, {2, 2, true, true});
  const Array flags[] = {Array::Scalar<double>(1), Array::Logical(false), Array::Scalar<int16_t>(-3),
                         Array(mxDOUBLE_CLASS, {0, 0}), Array(mxCELL_CLASS, {1, 1})};
  for (const Array& flag : flags) {
    std::vector<const Array*> inputs = step.With(image);
    inputs.push_back(&flag);
    const CallResult flagged = MexFile(d.name).Call(1, inputs);
    ASSERT_TRUE(flagged.ok()) << flagged.error;
    EXPECT_EQ(ValuesOf(flagged.outputs[0]), plain);
  }
}

TEST_P(ProjNextFile, WrongCountsGiveTheThreeChannelUsageText) {
  const Deliverable d = GetParam();
  const std::string usage = std::string("Usage: outputImage=") + d.usage_name + "(inputImage" +
                            (d.bits == 16 ? "16s" : "32s") +
                            ", nWidth16u, bCurAlphaPos, nDelta, bHorizMovement, debugFlag(opt));\n";
  const Array image = Image(d, {3, 3}, std::vector<int64_t>(9, 1));
  const Array wrong = Array::Scalar<double>(1);
  const StepArguments step({1, 1, true, true});
  std::vector<const Array*> four = step.With(image);
  four.pop_back();
  std::vector<const Array*> seven = step.With(image);
  seven.insert(seven.end(), {&wrong, &wrong});
  const struct {
    int nlhs;
    std::vector<const Array*> inputs;
  } calls[] = {{1, four}, {1, {}}, {1, seven}, {0, step.With(image)}, {2, step.With(image)},
               {1, {&wrong, &wrong, &wrong, &wrong}}};
  for (const auto& call : calls) {
    const CallResult result = MexFile(d.name).Call(call.nlhs, call.inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, usage) << "nlhs=" << call.nlhs << " nrhs=" << call.inputs.size();
  }
}

TEST_P(ProjNextFile, AnyWrongClassGivesTheOneClassMessage) {
  const Deliverable d = GetParam();
  const std::string message = std::string("Input image must be a int") +
                              (d.bits == 16 ? "16" : "32") +
                              " matrix, kernel size must be a uint16 scalar, current alpha related "
                              "kernel must be boolean, the delta step must be uint16, and the "
                              "horizontal movement must be boolean!";
  const Array image = Image(d, {3, 3}, std::vector<int64_t>(9, 1));
  const Deliverable other = d.bits == 16 ? kI32Rgb : kI16Rgb;
  const Array other_image = Image(other, {3, 3}, std::vector<int64_t>(9, 1));
  const Array as_double = Array::Scalar<double>(1);
  const Array as_uint8 = Array::Scalar<uint8_t>(1);
  const Array as_logical = Array::Logical(true);
  const Array as_uint16 = Array::Scalar<uint16_t>(1);
  const StepArguments step({1, 1, true, true});
  // One wrong argument at each position, then every argument wrong.
  const std::vector<std::vector<const Array*>> calls = {
      {&other_image, &step.width, &step.positive, &step.delta, &step.horizontal},
      {&image, &as_double, &step.positive, &step.delta, &step.horizontal},
      {&image, &step.width, &as_uint8, &step.delta, &step.horizontal},
      {&image, &step.width, &step.positive, &as_logical, &step.horizontal},
      {&image, &step.width, &step.positive, &step.delta, &as_uint16},
      {&as_double, &as_logical, &as_uint16, &as_double, &as_double, &as_double}};
  for (const auto& inputs : calls) {
    const CallResult result = MexFile(d.name).Call(1, inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, message);
    EXPECT_TRUE(result.outputs.empty());
  }
}

TEST_P(ProjNextFile, RefusesStepsThatReachBeforeThePlane) {
  const Deliverable d = GetParam();
  const Array image = Image(d, {9, 9}, std::vector<int64_t>(81, 1));
  const Array no_uint16(mxUINT16_CLASS, {1, 0});
  const Array no_logical(mxLOGICAL_CLASS, {0, 0});
  const StepArguments step({2, 1, true, true});
  const StepArguments no_width({0, 1, true, true});
  const StepArguments no_delta({3, 0, true, false});
  const StepArguments long_delta({3, 4, true, true});
  const struct {
    std::vector<const Array*> inputs;
    const char* error;
  } calls[] = {
      {{&image, &no_uint16, &step.positive, &step.delta, &step.horizontal},
       "Kernel size must not be empty."},
      {{&image, &step.width, &no_logical, &step.delta, &step.horizontal},
       "Current alpha related kernel must not be empty."},
      {{&image, &step.width, &step.positive, &no_uint16, &step.horizontal},
       "Delta step must not be empty."},
      {{&image, &step.width, &step.positive, &step.delta, &no_logical},
       "Horizontal movement must not be empty."},
      {no_width.With(image), "Kernel size must be at least 1."},
      {no_delta.With(image),
       "Delta step 0 must lie between 1 and the kernel size 3."},
      {long_delta.With(image),
       "Delta step 4 must lie between 1 and the kernel size 3."},
  };
  for (const auto& call : calls) {
    const CallResult result = MexFile(d.name).Call(1, call.inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, call.error);
    EXPECT_TRUE(result.outputs.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, ProjNextFile,
                         ::testing::Values(kI16Rgb, kI32Rgb, kI16Luma, kI32Luma),
                         [](const auto& info) { return std::string(info.param.name); });

// Plane 0 of an image of width W whose other planes hold anything else.
struct PlaneZeroInputs {
  PlaneZeroInputs(int rows, int plane_cols, unsigned seed)
      : rows(rows), plane_cols(plane_cols), image(RandomValues(rows * plane_cols * 3, -999, 999, seed)),
        plane(image.begin(), image.begin() + rows * plane_cols) {}
  std::vector<int64_t> PlaneZeroOf(const std::vector<int64_t>& out) const {
    return std::vector<int64_t>(out.begin(), out.begin() + rows * plane_cols);
  }
  // Linear position of the last index d - w along the movement in plane 0 (row r / column c).
  bool IsLastIndex(int r, int c, const Step& s) const {
    return s.horizontal ? c == plane_cols - s.width : r == rows - s.width;
  }
  int rows, plane_cols;
  std::vector<int64_t> image, plane;
};

const Step kPlaneSteps[] = {{1, 1, true, true}, {3, 2, false, true}, {2, 1, true, false},
                            {4, 3, false, false}};

TEST(ProjNextFiles, SixteenBitRgbAlsoComputesTheLastIndex) {
  const PlaneZeroInputs in(12, 10, 21);
  for (const Step& s : kPlaneSteps) {
    const std::vector<int64_t> wide = CallStep(kI32Rgb, Image(kI32Rgb, {12, 10, 3}, in.image), s);
    const std::vector<int64_t> narrow = CallStep(kI16Rgb, Image(kI16Rgb, {12, 10, 3}, in.image), s);
    int differences = 0;
    for (int k = 0; k < 3; ++k) {
      for (int c = 0; c < in.plane_cols; ++c) {
        for (int r = 0; r < in.rows; ++r) {
          const size_t p = r + (c + k * in.plane_cols) * static_cast<size_t>(in.rows);
          if (in.IsLastIndex(r, c, s) && (s.horizontal ? r > 0 : c > 0)) {
            EXPECT_EQ(wide[p], 0);
            differences += narrow[p] != 0;
          } else {
            EXPECT_EQ(wide[p], narrow[p]) << "plane " << k << " row " << r << " column " << c;
          }
        }
      }
    }
    EXPECT_GT(differences, 0) << "w=" << s.width;
  }
}

TEST(ProjNextFiles, LumaIsPlaneZeroOfRgb) {
  const PlaneZeroInputs in(9, 11, 22);
  for (const Step& s : kPlaneSteps) {
    const std::vector<int64_t> rgb32 = CallStep(kI32Rgb, Image(kI32Rgb, {9, 11, 3}, in.image), s);
    const std::vector<int64_t> rgb16 = CallStep(kI16Rgb, Image(kI16Rgb, {9, 11, 3}, in.image), s);
    const std::vector<int64_t> luma32 = CallStep(kI32Luma, Image(kI32Luma, {9, 11}, in.plane), s);
    const std::vector<int64_t> luma16 = CallStep(kI16Luma, Image(kI16Luma, {9, 11}, in.plane), s);
    EXPECT_EQ(luma32, in.PlaneZeroOf(rgb32));
    EXPECT_EQ(luma16, luma32);  // no sum here leaves 16 bits
    std::vector<int64_t> rgb16_plane = in.PlaneZeroOf(rgb16);
    for (int c = 0; c < in.plane_cols; ++c) {
      for (int r = 0; r < in.rows; ++r) {
        if (in.IsLastIndex(r, c, s)) rgb16_plane[r + c * in.rows] = 0;
      }
    }
    EXPECT_EQ(luma16, rgb16_plane);
  }
}

}  // namespace
}  // namespace gck
