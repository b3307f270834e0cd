// patcherr_rgb and patcherr_gray called through their built files.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "host/loader.h"
#include "tests/reference/patch_error_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;
using reference::Image8;

const char kUsage[] =
    "Usage: outputImage=patcherr_rgb(inputRefImage8u_C3, inputTargetImage8u_C3, rowMapping16u, "
    "colMapping16u, TLboundary16u, BRboundary16u, nWidth16u, debugFlag(opt));\n";
const char kClassMessage[] =
    "input and target images must be uint8 matrices, row and column mapping images must be a "
    "uint16 "
    "matrices, top-left and bottom-right of ROI must be a uint16 scalars and kernel size must be a "
    "uint16 scalar!";

Image8 RandomImage(std::mt19937& rng, int rows, int cols, int planes) {
  Image8 image{rows, cols, planes, std::vector<uint8_t>(static_cast<size_t>(rows) * cols * planes)};
  for (auto& pixel : image.pixels) pixel = static_cast<uint8_t>(rng());
  return image;
}

// A colour image as MATLAB holds it (M x W x 3), or the same memory as one M x 3W matrix.
Array HostImage(const Image8& image, bool flat = false) {
  const size_t rows = image.rows, cols = image.cols;
  if (image.planes == 1 || flat)
    return Array::Matrix<uint8_t>(rows, cols * image.planes, image.pixels);
  return Array::Of<uint8_t>({rows, cols, 3}, image.pixels);
}

// The seven arguments of one call, each one replaceable before the call.
struct PatchErrCall {
  Array a, b, rows, cols, t, u, w;
  std::vector<const Array*> inputs() const { return {&a, &b, &rows, &cols, &t, &u, &w}; }
};

struct Scene {
  Image8 a, b;
  std::vector<uint16_t> rows, cols;
  int t, u, width;

  PatchErrCall Call(bool flat = false) const {
    const size_t m = a.rows, n = a.cols;
    return {HostImage(a, flat),
            HostImage(b, flat),
            Array::Matrix<uint16_t>(m, n, rows),
            Array::Matrix<uint16_t>(m, n, cols),
            Array::Scalar<uint16_t>(t),
            Array::Scalar<uint16_t>(u),
            Array::Scalar<uint16_t>(width)};
  }
  std::vector<float> Expected() const {
    return reference::PatchErrors(a, b, rows, cols, t, u, width);
  }
};

// Random images of different sizes, every corner mapped to a random patch that fits in B.
Scene RandomScene(std::mt19937& rng, int planes, int width, int t, int u) {
  const int need = std::max(width, 1);
  Scene scene{RandomImage(rng, need + rng() % 17, need + rng() % 17, planes),
              RandomImage(rng, need + rng() % 17, need + rng() % 17, planes),
              {},
              {},
              t,
              u,
              width};
  for (size_t i = 0; i < scene.a.pixels.size() / planes; ++i) {
    scene.rows.push_back(static_cast<uint16_t>(1 + rng() % (scene.b.rows - need + 1)));
    scene.cols.push_back(static_cast<uint16_t>(1 + rng() % (scene.b.cols - need + 1)));
  }
  return scene;
}

class PatchErrFile : public ::testing::TestWithParam<std::string> {
 protected:
  MexFile file_{GetParam()};
  int planes() const { return GetParam() == "patcherr_rgb" ? 3 : 1; }

  std::vector<float> Errors(const PatchErrCall& call) const {
    const CallResult result = file_.Call(1, call.inputs());
    EXPECT_TRUE(result.ok()) << result.error;
    if (!result.ok()) return {};
    return result.outputs.at(0).Values<float>();
  }
  // A refused call: its message, checked to leave no output behind.
  std::string Refusal(const std::vector<const Array*>& inputs, int nlhs = 1) const {
    const CallResult result = file_.Call(nlhs, inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.outputs.empty());
    return result.error;
  }
};

TEST_P(PatchErrFile, MatchesBruteForceOnRandomScenes) {
  std::mt19937 rng(GetParam() == "patcherr_rgb" ? 61 : 62);
  for (int trial = 0; trial < 40; ++trial) {
    const int width = static_cast<int>(rng() % 12);
    const Scene scene = RandomScene(rng, planes(), width, rng() % 4,
                                    std::max(width - 1, 0) + static_cast<int>(rng() % 3));
    const CallResult result = file_.Call(1, scene.Call(trial % 2 == 1).inputs());
    ASSERT_TRUE(result.ok()) << result.error;
    const Array& out = result.outputs.at(0);
    EXPECT_EQ(out.class_id(), mxSINGLE_CLASS);
    EXPECT_EQ(out.dims(), (std::vector<size_t>{size_t(scene.a.rows), size_t(scene.a.cols)}));
    ASSERT_EQ(out.Values<float>(), scene.Expected()) << "trial " << trial << " w=" << width;
  }
}

TEST_P(PatchErrFile, KnownErrors) {
  // The identity mapping onto an identical image.
  std::mt19937 rng(8);
  const Image8 image = RandomImage(rng, 9, 11, planes());
  Scene same{image, image, {}, {}, 0, 3, 4};
  for (int c = 0; c < 11; ++c) {
    for (int r = 0; r < 9; ++r) {
      same.rows.push_back(static_cast<uint16_t>(std::min(r, 5) + 1));
      same.cols.push_back(static_cast<uint16_t>(std::min(c, 7) + 1));
    }
  }
  std::vector<float> errors = Errors(same.Call());
  EXPECT_TRUE(std::all_of(errors.begin(), errors.end(), [](float e) { return e == 0.0f; }));

  // One pixel 255 apart in one channel, w = 1.
  const Image8 small = RandomImage(rng, 3, 4, planes());
  Scene one{small, small, std::vector<uint16_t>(12, 2), std::vector<uint16_t>(12, 3), 0, 0, 1};
  one.a.pixels[(planes() - 1) * 12 + 2 * 3 + 1] = 0;
  one.b.pixels[(planes() - 1) * 12 + 2 * 3 + 1] = 255;
  errors = Errors(one.Call());
  EXPECT_EQ(errors[2 * 3 + 1], 255.0f);

  // Differences of 3 and 4: in two channels of one pixel (colour), or two pixels of one patch.
  const Image8 flat{2, 2, planes(), std::vector<uint8_t>(4 * planes(), 10)};
  Scene five{flat, flat, {1, 1, 1, 1}, {1, 1, 1, 1}, 0, 1, 2};
  five.b.pixels[planes() == 3 ? 4 : 1] = 13;
  five.b.pixels[planes() == 3 ? 8 : 2] = 6;
  errors = Errors(five.Call());
  EXPECT_EQ(errors, (std::vector<float>{5.0f, 0.0f, 0.0f, 0.0f}));
}

TEST_P(PatchErrFile, MarginsBoundTheRegionAndAnEmptyRegionReadsNothing) {
  std::mt19937 rng(4);
  Scene scene = RandomScene(rng, planes(), 2, 2, 3);
  std::vector<float> errors = Errors(scene.Call());
  ASSERT_EQ(errors.size(), scene.a.pixels.size() / planes());
  for (int c = 0; c < scene.a.cols; ++c) {
    for (int r = 0; r < scene.a.rows; ++r) {
      const bool inside = r >= 2 && r < scene.a.rows - 3 && c >= 2 && c < scene.a.cols - 3;
      EXPECT_EQ(errors[c * scene.a.rows + r] != 0.0f, inside) << r << "," << c;
    }
  }
  // Empty regions: nothing is read, so neither the width, the mapping nor the margins are checked.
  PatchErrCall call = scene.Call();
  call.rows = Array(mxUINT16_CLASS, {0, 0});
  call.cols = Array::Scalar<uint16_t>(0);
  call.w = Array::Scalar<uint16_t>(60000);
  for (const int t : {scene.a.rows, scene.a.cols, 65535}) {
    call.t = Array::Scalar<uint16_t>(static_cast<uint16_t>(t));
    call.u = Array::Scalar<uint16_t>(0);
    errors = Errors(call);
    EXPECT_EQ(errors, std::vector<float>(scene.a.pixels.size() / planes(), 0.0f)) << t;
  }
  // So does a zero width, which gives 0 inside the region.
  call.t = Array::Scalar<uint16_t>(0);
  call.w = Array::Scalar<uint16_t>(0);
  EXPECT_EQ(Errors(call), std::vector<float>(scene.a.pixels.size() / planes(), 0.0f));
}

TEST_P(PatchErrFile, WrongCountsGiveTheOneUsageLine) {
  std::mt19937 rng(1);
  const PatchErrCall call = RandomScene(rng, planes(), 1, 0, 0).Call();
  const Array flag = Array::Scalar<double>(1);
  std::vector<const Array*> six = call.inputs(), nine = call.inputs();
  six.pop_back();
  nine.insert(nine.end(), {&flag, &flag});
  std::vector<const Array*> wrong_classes(6, &flag);
  EXPECT_EQ(Refusal(six), kUsage);
  EXPECT_EQ(Refusal(nine), kUsage);
  EXPECT_EQ(Refusal(wrong_classes), kUsage);
  EXPECT_EQ(Refusal({}), kUsage);
  EXPECT_EQ(Refusal(call.inputs(), 0), kUsage);
  EXPECT_EQ(Refusal(call.inputs(), 2), kUsage);
}

TEST_P(PatchErrFile, AnyWrongClassGivesTheClassMessage) {
  std::mt19937 rng(2);
  const PatchErrCall good = RandomScene(rng, planes(), 1, 0, 0).Call();
  const Array u8 = Array::Scalar<uint8_t>(1), u16 = Array::Scalar<uint16_t>(1);
  const Array dbl = Array::Scalar<double>(1), logical = Array::Logical(true);
  for (size_t position = 0; position < 7; ++position) {
    for (const Array* wrong : {position < 2 ? &u16 : &u8, &dbl, &logical}) {
      std::vector<const Array*> inputs = good.inputs();
      inputs[position] = wrong;
      EXPECT_EQ(Refusal(inputs), kClassMessage) << "input " << position + 1;
    }
  }
  std::vector<const Array*> both = good.inputs();
  both[0] = &dbl;
  both[6] = &u8;
  EXPECT_EQ(Refusal(both), kClassMessage);
}

TEST_P(PatchErrFile, DebugFlagChangesNothingAndInputsStayAsTheyWere) {
  std::mt19937 rng(3);
  const Scene scene = RandomScene(rng, planes(), 3, 1, 2);
  const PatchErrCall call = scene.Call();
  const std::vector<float> plain = Errors(call);
  const Array flags[] = {Array::Scalar<double>(1), Array::Logical(false),
                         Array::Scalar<uint16_t>(7), Array(mxDOUBLE_CLASS, {0, 0})};
  for (const Array& flag : flags) {
    std::vector<const Array*> inputs = call.inputs();
    inputs.push_back(&flag);
    const CallResult flagged = file_.Call(1, inputs);
    ASSERT_TRUE(flagged.ok()) << flagged.error;
    EXPECT_EQ(flagged.outputs.at(0).Values<float>(), plain);
  }
  EXPECT_EQ(call.a.Values<uint8_t>(), scene.a.pixels);
  EXPECT_EQ(call.b.Values<uint8_t>(), scene.b.pixels);
  EXPECT_EQ(call.rows.Values<uint16_t>(), scene.rows);
  EXPECT_EQ(call.cols.Values<uint16_t>(), scene.cols);
}

TEST_P(PatchErrFile, RefusesReadsOutsideAnyArrayNamingTheFirstPixel) {
  // A is 8 x 10 per plane, B 6 x 7; w = 3 fits everywhere with u = 2.
  std::mt19937 rng(5);
  Scene scene{RandomImage(rng, 8, 10, planes()),
              RandomImage(rng, 6, 7, planes()),
              std::vector<uint16_t>(80, 4),
              std::vector<uint16_t>(80, 5),
              1,
              2,
              3};
  ASSERT_EQ(Errors(scene.Call()), scene.Expected());
  const auto refusal = [&](const PatchErrCall& call) { return Refusal(call.inputs()); };

  PatchErrCall call = scene.Call();
  call.u = Array::Scalar<uint16_t>(1);
  EXPECT_EQ(refusal(call),
            "The 3x3 patch of pixel (7, 2) crosses the edge of the 8 x 10 input image: the "
            "bottom-right margin must be at least 2.");

  Scene mapped = scene;
  mapped.rows[3 * 8 + 5] = 0;  // pixel (6, 4), before ...
  mapped.cols[4 * 8 + 1] = 0;  // ... pixel (2, 5) in column-major order
  EXPECT_EQ(refusal(mapped.Call()),
            "Pixel (6, 4) is mapped to row 0, column 5: mappings are 1-based.");
  mapped = scene;
  mapped.rows[2 * 8 + 3] = 5;  // a 3-row patch from row 5 of 6 leaves B
  EXPECT_EQ(refusal(mapped.Call()),
            "Pixel (4, 3) is mapped to row 5, column 5, where a 3x3 patch leaves the 6 x 7 target "
            "image.");
  mapped.rows[2 * 8 + 3] = 4;
  mapped.cols[5 * 8 + 5] = 6;
  EXPECT_NE(refusal(mapped.Call()).find("Pixel (6, 6) is mapped to row 4, column 6"),
            std::string::npos);

  call = scene.Call();
  call.cols = Array::Matrix<uint16_t>(8, 9, std::vector<uint16_t>(72, 1));
  EXPECT_EQ(refusal(call),
            "The column mapping image has 72 elements, fewer than the 8 x 10 pixels of the input "
            "image.");
  call = scene.Call();
  call.w = Array::Scalar<uint16_t>(planes() == 3 ? 105 : 182);
  call.u = Array::Scalar<uint16_t>(0);
  EXPECT_EQ(
      refusal(call),
      planes() == 3
          ? "Kernel size 105 is too large: the error sum of a patch fits 32 bits up to width 104."
          : "Kernel size 182 is too large: the error sum of a patch fits 32 bits up to width 181.");
  call = scene.Call();
  call.t = Array(mxUINT16_CLASS, {1, 0});
  EXPECT_EQ(refusal(call), "Top-left margin must not be empty.");
}

INSTANTIATE_TEST_SUITE_P(Deliverables, PatchErrFile,
                         ::testing::Values("patcherr_rgb", "patcherr_gray"));

TEST(PatchErrGray, ThreePlaneImageIsOneImageThreeTimesAsWide) {
  std::mt19937 rng(6);
  Scene scene = RandomScene(rng, 3, 3, 1, 2);
  PatchErrCall call = scene.Call();  // M x W x 3 arrays; the mapping must then cover M x 3W
  const size_t m = scene.a.rows, n = 3 * scene.a.cols;
  scene.a = {scene.a.rows, 3 * scene.a.cols, 1, scene.a.pixels};
  scene.b = {scene.b.rows, 3 * scene.b.cols, 1, scene.b.pixels};
  scene.rows.resize(m * n, 1);
  scene.cols.resize(m * n, 1);
  call.rows = Array::Matrix<uint16_t>(m, n, scene.rows);
  call.cols = Array::Matrix<uint16_t>(m, n, scene.cols);
  const CallResult result = MexFile("patcherr_gray").Call(1, call.inputs());
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.outputs.at(0).dims(), (std::vector<size_t>{m, n}));
  EXPECT_EQ(result.outputs.at(0).Values<float>(), scene.Expected());
}

TEST(PatchErrRgb, ColumnsBeyondThreeWholePlanesAreIgnored) {
  std::mt19937 rng(7);
  const Scene scene = RandomScene(rng, 3, 2, 0, 1);
  PatchErrCall call = scene.Call();
  // Two stray columns after the third plane of each image: each still has W planes' columns.
  for (Array* image : {&call.a, &call.b}) {
    const Image8& source = image == &call.a ? scene.a : scene.b;
    std::vector<uint8_t> padded = source.pixels;
    padded.resize(padded.size() + 2 * source.rows, 77);
    *image = Array::Matrix<uint8_t>(source.rows, 3 * source.cols + 2, padded);
  }
  const CallResult result = MexFile("patcherr_rgb").Call(1, call.inputs());
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.outputs.at(0).dims(),
            (std::vector<size_t>{size_t(scene.a.rows), size_t(scene.a.cols)}));
  EXPECT_EQ(result.outputs.at(0).Values<float>(), scene.Expected());
}

}  // namespace
}  // namespace gck
