// projfirst_u8_i16 and projfirst_u8_i32 called through their built files.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/loader.h"
#include "tests/reference/first_projection_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;

const char kClassMessage[] =
    "Input image must be a uint8 matrix and kernel size must be a uint16 scalar!";

std::string Usage(const std::string& name) {
  return "Usage: outputImage=" + name + "(inputImage8u, nWidth16u, debugFlag(opt));\n";
}

std::vector<uint8_t> RandomPixels(size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> pixels(count);
  for (auto& pixel : pixels) pixel = static_cast<uint8_t>(rng());
  return pixels;
}

class ProjFirstFile : public ::testing::TestWithParam<std::string> {
 protected:
  MexFile file_{GetParam()};
  bool wide() const { return GetParam() == "projfirst_u8_i32"; }
  std::vector<int64_t> OutputValues(const Array& out) const {
    std::vector<int64_t> values;
    if (wide()) {
      for (int32_t v : out.Values<int32_t>()) values.push_back(v);
    } else {
      for (int16_t v : out.Values<int16_t>()) values.push_back(v);
    }
    return values;
  }
};

TEST_P(ProjFirstFile, ComputesWindowSums) {
  const int rows = 13, cols = 9, width = 4;
  const std::vector<uint8_t> pixels = RandomPixels(rows * cols, 11);
  const Array image = Array::Matrix<uint8_t>(rows, cols, pixels);
  const Array w = Array::Scalar<uint16_t>(width);
  const CallResult result = file_.Call(1, {&image, &w});
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(result.outputs.size(), 1u);
  const Array& out = result.outputs[0];
  EXPECT_EQ(out.class_id(), wide() ? mxINT32_CLASS : mxINT16_CLASS);
  EXPECT_EQ(out.dims(), (std::vector<size_t>{rows, cols}));
  EXPECT_EQ(OutputValues(out), reference::WindowSums(pixels, rows, cols, width));
}

TEST_P(ProjFirstFile, ThreePlaneImageIsOneWideImage) {
  const size_t rows = 7, planeCols = 5;
  const std::vector<uint8_t> pixels = RandomPixels(rows * planeCols * 3, 5);
  const Array planes = Array::Of<uint8_t>({rows, planeCols, 3}, pixels);
  const Array flat = Array::Matrix<uint8_t>(rows, planeCols * 3, pixels);
  const Array w = Array::Scalar<uint16_t>(3);
  const CallResult fromPlanes = file_.Call(1, {&planes, &w});
  const CallResult fromFlat = file_.Call(1, {&flat, &w});
  ASSERT_TRUE(fromPlanes.ok() && fromFlat.ok());
  EXPECT_EQ(fromPlanes.outputs[0].dims(), (std::vector<size_t>{rows, planeCols * 3}));
  EXPECT_EQ(OutputValues(fromPlanes.outputs[0]), OutputValues(fromFlat.outputs[0]));
}

TEST_P(ProjFirstFile, DebugFlagOfAnyClassChangesNothing) {
  const std::vector<uint8_t> pixels = RandomPixels(36, 2);
  const Array image = Array::Matrix<uint8_t>(6, 6, pixels);
  const Array w = Array::Scalar<uint16_t>(2);
  const CallResult plain = file_.Call(1, {&image, &w});
  const Array flags[] = {Array::Scalar<double>(1), Array::Logical(true), Array::Scalar<uint8_t>(0),
                         Array(mxDOUBLE_CLASS, {0, 0}), Array(mxCELL_CLASS, {1, 1})};
  for (const Array& flag : flags) {
    const CallResult flagged = file_.Call(1, {&image, &w, &flag});
    ASSERT_TRUE(flagged.ok()) << flagged.error;
    EXPECT_EQ(OutputValues(flagged.outputs[0]), OutputValues(plain.outputs[0]));
  }
}

TEST_P(ProjFirstFile, WrongCountsGiveTheUsageText) {
  const Array image = Array::Matrix<uint8_t>(2, 2, {1, 2, 3, 4});
  const Array w = Array::Scalar<uint16_t>(1);
  const Array wrongClass = Array::Scalar<double>(1);
  const struct {
    int nlhs;
    std::vector<const Array*> inputs;
  } calls[] = {{1, {&image}}, {1, {}}, {1, {&image, &w, &w, &w}}, {0, {&image, &w}},
               {2, {&image, &w}}, {2, {&wrongClass}}};
  for (const auto& call : calls) {
    const CallResult result = file_.Call(call.nlhs, call.inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, Usage(GetParam()));
  }
}

TEST_P(ProjFirstFile, AnyWrongClassGivesTheOneClassMessage) {
  const Array image = Array::Matrix<uint8_t>(2, 2, {1, 2, 3, 4});
  const Array w = Array::Scalar<uint16_t>(1);
  const Array doubleImage = Array::Matrix<double>(2, 2, {1, 2, 3, 4});
  const Array doubleWidth = Array::Scalar<double>(1);
  const Array logicalImage(mxLOGICAL_CLASS, {2, 2});
  for (const auto& inputs : std::vector<std::vector<const Array*>>{
           {&doubleImage, &w}, {&image, &doubleWidth}, {&doubleImage, &doubleWidth},
           {&logicalImage, &w}, {&w, &image}}) {
    const CallResult result = file_.Call(1, inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, kClassMessage);
  }
}

TEST_P(ProjFirstFile, RefusesWidthsThatDoNotFit) {
  const Array image = Array::Matrix<uint8_t>(3, 5, RandomPixels(15, 1));
  const Array empty(mxUINT8_CLASS, {0, 4});
  const Array noWidth(mxUINT16_CLASS, {0, 1});
  const Array w0 = Array::Scalar<uint16_t>(0);
  const Array w4 = Array::Scalar<uint16_t>(4);
  const Array w1 = Array::Scalar<uint16_t>(1);
  for (const auto& inputs : std::vector<std::vector<const Array*>>{
           {&image, &w0}, {&image, &w4}, {&empty, &w1}, {&image, &noWidth}}) {
    const CallResult result = file_.Call(1, inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(result.outputs.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, ProjFirstFile,
                         ::testing::Values("projfirst_u8_i16", "projfirst_u8_i32"));

}  // namespace
}  // namespace gck
