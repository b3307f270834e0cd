// The host's error call never returns: the stand-in's mexErrMsgTxt throws from libmex, through the
// frames of a built deliverable, to the loader. These calls check that this holds in every build
// (under wine the throw crosses three DLLs, each with its own static C++ runtime) and that a refused
// call leaves nothing behind that changes the next one.
#include <gtest/gtest.h>

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

std::vector<int64_t> Widened(const std::vector<int32_t>& values) {
  return std::vector<int64_t>(values.begin(), values.end());
}

TEST(HostError, RefusalsInterleavedWithValidCallsCrossEveryTime) {
  const MexFile file("projfirst_u8_i32");
  const int rows = 9, cols = 7;
  std::vector<uint8_t> pixels(rows * cols);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(37 * i + 11);
  const Array image = Array::Matrix<uint8_t>(rows, cols, pixels);
  const Array width = Array::Scalar<uint16_t>(3);
  const Array wrong = Array::Scalar<double>(3);
  const std::vector<int64_t> expected = reference::WindowSums(pixels, rows, cols, 3);
  const std::string usage =
      "Usage: outputImage=projfirst_u8_i32(inputImage8u, nWidth16u, debugFlag(opt));\n";

  for (int round = 0; round < 300; ++round) {
    const CallResult counts = file.Call(round % 2 == 0 ? 0 : 3, {&image, &width});
    ASSERT_TRUE(counts.failed);
    ASSERT_EQ(counts.error, usage);
    EXPECT_TRUE(counts.outputs.empty());
    const CallResult classes = file.Call(1, {&image, &wrong});
    ASSERT_TRUE(classes.failed);
    ASSERT_EQ(classes.error, kClassMessage);
    const CallResult valid = file.Call(1, {&image, &width});
    ASSERT_TRUE(valid.ok()) << valid.error;
    ASSERT_EQ(Widened(valid.outputs[0].Values<int32_t>()), expected) << "round " << round;
  }
}

TEST(HostError, TwoLoadedFilesRefuseIndependently) {
  const MexFile narrow("projfirst_u8_i16");
  const MexFile wide("projfirst_u8_i32");
  const Array image = Array::Matrix<uint8_t>(2, 2, {1, 2, 3, 4});
  const Array tooWide = Array::Scalar<uint16_t>(3);
  const char kTooWide[] = "Kernel size 3 must lie between 1 and 2, the smaller side of the image.";
  for (int round = 0; round < 50; ++round) {
    const CallResult first = narrow.Call(1, {&image, &tooWide});
    const CallResult second = wide.Call(1, {&image, &tooWide});
    ASSERT_TRUE(first.failed && second.failed);
    ASSERT_EQ(first.error, kTooWide);
    ASSERT_EQ(second.error, kTooWide);
  }
}

}  // namespace
}  // namespace gck
