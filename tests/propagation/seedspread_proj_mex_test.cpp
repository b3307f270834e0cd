// seedspread_i16_proj and seedspread_i32_proj called through their built files.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/loader.h"
#include "tests/propagation/sweep_case.h"
#include "tests/reference/single_best_sweep_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;
using reference::SweepCase;

const char kUsage[] =
    "Usage: seedspread_i16(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, "
    "nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgB32u, nHashsNoe16u, "
    "nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag));\n";
const char kClassMessage[] =
    "Input best errors image must be a uint32 matrix, input linear mapping image must be a uint32 "
    "matrix, input and target GCK projections images must be int16 matrices inside a cell array, "
    "input and target codebook images must be a uint32 matrices, Hash table of target image must "
    "be a uint32 matrix, number of indices in each hash entry must be a uint8 scalar, sequency "
    "order of GCK kernels must be a uint8 vector, sequency levels of GCK kernels must be a uint8 "
    "vector and downwarads or upwards iteration must be a boolean!";
const char kStackMessage[] =
    "Number of projection images for input and target images must be the same!";

template <class T>
Array Stack(uint32_t kernels, const std::vector<int64_t>& values) {
  const size_t pixels = kernels == 0 ? 0 : values.size() / kernels;
  return Array::Matrix<T>(kernels, pixels, std::vector<T>(values.begin(), values.end()));
}

// The twelve inputs of one call, held by the test so that it sees them rewritten.
struct SweepCall {
  SweepCall(const SweepCase& c, bool wide, std::vector<uint32_t> errors,
            std::vector<uint32_t> matches) {
    const size_t pixels = c.rows * c.cols;
    const size_t columns = c.buckets == 0 ? 0 : c.table_a.size() / c.buckets;
    inputs.push_back(Array::Matrix<uint32_t>(c.rows, c.cols, errors));
    inputs.push_back(Array::Matrix<uint32_t>(c.rows, c.cols, matches));
    inputs.push_back(wide ? Stack<int32_t>(c.kernels, c.stack_a)
                          : Stack<int16_t>(c.kernels, c.stack_a));
    inputs.push_back(wide ? Stack<int32_t>(c.kernels, c.stack_b)
                          : Stack<int16_t>(c.kernels, c.stack_b));
    inputs.push_back(Array::Matrix<uint32_t>(c.rows, pixels / std::max(c.rows, 1u), c.codes_a));
    inputs.push_back(Array::Matrix<uint32_t>(c.rows_b, c.codes_b.size() / c.rows_b, c.codes_b));
    inputs.push_back(Array::Matrix<uint32_t>(c.buckets, columns, c.table_a));
    inputs.push_back(Array::Matrix<uint32_t>(c.buckets, columns, c.table_b));
    inputs.push_back(Array::Scalar<uint16_t>(static_cast<uint16_t>(c.hash_slots)));
    inputs.push_back(Array::Matrix<uint16_t>(3, 1, {1, 2, 3}));
    inputs.push_back(Array::Matrix<uint16_t>(3, 1, {0, 1, 1}));
    inputs.push_back(Array::Logical(c.downward));
  }

  std::vector<const Array*> Pointers() const {
    std::vector<const Array*> pointers;
    for (const Array& input : inputs) pointers.push_back(&input);
    return pointers;
  }
  std::vector<uint32_t> Errors() const { return inputs[0].Values<uint32_t>(); }
  std::vector<uint32_t> Matches() const { return inputs[1].Values<uint32_t>(); }

  std::vector<Array> inputs;
};

class SeedSpreadFile : public ::testing::TestWithParam<std::string> {
 protected:
  bool wide() const { return GetParam() == "seedspread_i32_proj"; }

  // A small valid case with K = 3 and two slots read per bucket.
  SweepCase SmallCase(unsigned seed) const {
    std::mt19937 rng(seed);
    testing::CaseShape shape;
    shape.kernels = 3;
    shape.hash_slots = 2;
    shape.wide = wide();
    SweepCase c;
    do c = testing::RandomCase(rng, shape);
    while (c.rows < 2 || c.cols < 2);
    return c;
  }

  // Expects the call to fail with `message` and to leave E and Map as they were.
  void ExpectRefused(SweepCall& call, const std::vector<const Array*>& inputs,
                     const std::string& message, int nlhs = 0) {
    const std::vector<uint32_t> errors = call.Errors(), matches = call.Matches();
    const CallResult result = file_.Call(nlhs, inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, message);
    EXPECT_EQ(call.Errors(), errors);
    EXPECT_EQ(call.Matches(), matches);
  }

  MexFile file_{GetParam()};
};

TEST_P(SeedSpreadFile, SweepsRewriteTheCallersArraysAsTheReferenceDoes) {
  std::mt19937 rng(21);
  for (int i = 0; i < 60; ++i) {
    testing::CaseShape shape;
    shape.kernels = 1 + i % 7;
    shape.hash_slots = i % 3;
    shape.wide = wide();
    shape.extremes = i % 4 == 3;
    shape.bad_rate = i % 5 == 4 ? 0.2 : 0;
    SweepCase c = testing::RandomCase(rng, shape);
    const size_t pixels = c.rows * c.cols;
    std::vector<uint32_t> errors = testing::RandomErrors(rng, pixels);
    std::vector<uint32_t> matches =
        testing::RandomMatches(rng, pixels, testing::PixelsOfB(c), shape.bad_rate);
    SweepCall call(c, wide(), errors, matches);
    for (bool downward : {true, false, true}) {
      c.downward = downward;
      call.inputs[11] = Array::Logical(downward);
      reference::SingleBestSweep(c, errors, matches);
      const CallResult result = file_.Call(0, call.Pointers());
      ASSERT_TRUE(result.ok()) << result.error;
      EXPECT_TRUE(result.outputs.empty());
      ASSERT_EQ(call.Matches(), matches) << "case " << i;
      ASSERT_EQ(call.Errors(), errors) << "case " << i;
    }
  }
}

TEST_P(SeedSpreadFile, ReadsOnlyTheShapesThatMatter) {
  // A K x M x N stack, sequency inputs of any shape and a debug-free call all sweep alike.
  const SweepCase c = SmallCase(22);
  std::mt19937 rng(23);
  const size_t pixels = c.rows * c.cols;
  const std::vector<uint32_t> errors = testing::RandomErrors(rng, pixels);
  const std::vector<uint32_t> matches =
      testing::RandomMatches(rng, pixels, testing::PixelsOfB(c), 0);
  SweepCall plain(c, wide(), errors, matches);
  ASSERT_TRUE(file_.Call(0, plain.Pointers()).ok());

  SweepCall reshaped(c, wide(), errors, matches);
  const std::vector<size_t> dims = {c.kernels, c.rows, c.cols};
  reshaped.inputs[2] = wide() ? Array::Of<int32_t>(dims, {c.stack_a.begin(), c.stack_a.end()})
                              : Array::Of<int16_t>(dims, {c.stack_a.begin(), c.stack_a.end()});
  reshaped.inputs[9] = Array(mxUINT16_CLASS, {0, 0});
  reshaped.inputs[10] = Array::Matrix<uint16_t>(1, 4, {7, 7, 7, 7});
  ASSERT_TRUE(file_.Call(0, reshaped.Pointers()).ok());
  EXPECT_EQ(reshaped.Matches(), plain.Matches());
  EXPECT_EQ(reshaped.Errors(), plain.Errors());
}

TEST_P(SeedSpreadFile, WrongCountsGiveTheUsageText) {
  const SweepCase c = SmallCase(24);
  SweepCall call(c, wide(), std::vector<uint32_t>(c.rows * c.cols, 4294967295u),
                 std::vector<uint32_t>(c.rows * c.cols, 0));
  std::vector<const Array*> inputs = call.Pointers();
  ExpectRefused(call, inputs, kUsage, /*nlhs=*/1);
  const Array wrong = Array::Scalar<double>(1);
  inputs.push_back(&wrong);  // 13 inputs, the last of the wrong class: the count comes first
  ExpectRefused(call, inputs, kUsage);
  inputs.resize(11);
  ExpectRefused(call, inputs, kUsage);
  ExpectRefused(call, {}, kUsage);
}

TEST_P(SeedSpreadFile, AnyWrongClassGivesTheOneClassMessage) {
  const SweepCase c = SmallCase(25);
  SweepCall call(c, wide(), std::vector<uint32_t>(c.rows * c.cols, 4294967295u),
                 std::vector<uint32_t>(c.rows * c.cols, 0));
  const Array wrongs[] = {Array::Scalar<double>(1),  Array::Scalar<uint8_t>(1),
                          Array::Scalar<int32_t>(1), Array::Scalar<int16_t>(1),
                          Array::Logical(true),      Array(mxCELL_CLASS, {1, 1})};
  for (size_t position = 0; position < 12; ++position) {
    for (const Array& wrong : wrongs) {
      if (wrong.class_id() == call.inputs[position].class_id()) continue;
      std::vector<const Array*> inputs = call.Pointers();
      inputs[position] = &wrong;
      SCOPED_TRACE("input " + std::to_string(position + 1));
      ExpectRefused(call, inputs, kClassMessage);
    }
  }
  // An empty double in the last place still fails on the first wrong class, whatever follows.
  std::vector<const Array*> inputs = call.Pointers();
  const Array empty(mxDOUBLE_CLASS, {0, 0});
  inputs[0] = &empty;
  ExpectRefused(call, inputs, kClassMessage);
}

TEST_P(SeedSpreadFile, StacksOfDifferentHeightsAreRefused) {
  SweepCase c = SmallCase(26);
  SweepCall call(c, wide(), std::vector<uint32_t>(c.rows * c.cols, 4294967295u),
                 std::vector<uint32_t>(c.rows * c.cols, 0));
  const std::vector<int64_t> taller(c.stack_b.size() / 3 * 4, 1);
  call.inputs[3] = wide() ? Stack<int32_t>(4, taller) : Stack<int16_t>(4, taller);
  ExpectRefused(call, call.Pointers(), kStackMessage);
}

TEST_P(SeedSpreadFile, SizesTheSweepWouldOverrunAreRefused) {
  const SweepCase c = SmallCase(27);  // 2 slots read per bucket
  const size_t pixels = c.rows * c.cols;
  const std::vector<uint32_t> errors(pixels, 4294967295u), matches(pixels, 0);
  const auto stack = [&](size_t values) {
    const std::vector<int64_t> v(values, 0);
    return wide() ? Stack<int32_t>(c.kernels, v) : Stack<int16_t>(c.kernels, v);
  };
  const struct {
    size_t position;
    Array replacement;
    std::string message;
  } cases[] = {
      {1, Array::Matrix<uint32_t>(1, pixels - 1, std::vector<uint32_t>(pixels - 1, 0)),
       "Linear mapping image holds " + std::to_string(pixels - 1) +
           " elements; this call needs at least " + std::to_string(pixels) + "."},
      {2, stack(c.kernels * (pixels - 1)),
       "Projection stack of A holds " + std::to_string(c.kernels * (pixels - 1)) +
           " elements; this call needs at least " + std::to_string(c.kernels * pixels) + "."},
      {4, Array::Matrix<uint32_t>(pixels - 1, 1, std::vector<uint32_t>(pixels - 1, 1)),
       "Codebook image of A holds " + std::to_string(pixels - 1) +
           " elements; this call needs at least " + std::to_string(pixels) + "."},
      {6, Array::Matrix<uint32_t>(c.buckets, 1, std::vector<uint32_t>(c.buckets, 1)),
       "Hash table of A holds " + std::to_string(c.buckets) +
           " elements; this call needs at least " + std::to_string(2 * c.buckets) + "."},
      {7, Array::Matrix<uint32_t>(c.buckets, 1, std::vector<uint32_t>(c.buckets, 1)),
       "Hash table of B holds " + std::to_string(c.buckets) +
           " elements; this call needs at least " + std::to_string(2 * c.buckets) + "."},
      {7, Array::Matrix<uint32_t>(c.buckets + 1, 4, std::vector<uint32_t>(4 * c.buckets + 4, 1)),
       "Hash tables of A and B must have the same number of rows, one per bucket."},
      {8, Array(mxUINT16_CLASS, {0, 1}), "nHashsNoe16u must not be empty."},
      {11, Array(mxLOGICAL_CLASS, {1, 0}), "bDownwardFlag must not be empty."},
  };
  for (const auto& t : cases) {
    SweepCall call(c, wide(), errors, matches);
    std::vector<const Array*> inputs = call.Pointers();
    inputs[t.position] = &t.replacement;
    SCOPED_TRACE("input " + std::to_string(t.position + 1));
    ExpectRefused(call, inputs, t.message);
  }
}

TEST_P(SeedSpreadFile, EmptySlotsAndForeignIndicesAreSkipped) {
  // Tables full of 0 and of indices past both images, codes of 0 and past R, matches far outside
  // B: the call completes and changes nothing, as no candidate is left.
  SweepCase c = SmallCase(28);
  for (auto& slot : c.table_a) slot = slot % 2 == 0 ? 0 : 4000000000u;
  for (auto& slot : c.table_b) slot = slot % 2 == 0 ? 0 : 4000000000u;
  for (size_t p = 0; p < c.codes_a.size(); ++p) c.codes_a[p] = p % 2 == 0 ? 0 : c.buckets + 1;
  const size_t pixels = c.rows * c.cols;
  const std::vector<uint32_t> errors(pixels, 4294967295u), matches(pixels, 3000000000u);
  for (bool downward : {true, false}) {
    c.downward = downward;
    SweepCall call(c, wide(), errors, matches);
    ASSERT_TRUE(file_.Call(0, call.Pointers()).ok());
    EXPECT_EQ(call.Errors(), errors);
    EXPECT_EQ(call.Matches(), matches);
  }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, SeedSpreadFile,
                         ::testing::Values("seedspread_i16_proj", "seedspread_i32_proj"));

TEST(SeedSpreadTwins, AgreeOnValuesThatFitSixteenBits) {
  MexFile narrow("seedspread_i16_proj"), wide("seedspread_i32_proj");
  std::mt19937 rng(29);
  for (int i = 0; i < 30; ++i) {
    testing::CaseShape shape;
    shape.kernels = 1 + i % 8;
    shape.hash_slots = i % 3;
    shape.extremes = true;
    const SweepCase c = testing::RandomCase(rng, shape);
    const size_t pixels = c.rows * c.cols;
    const std::vector<uint32_t> errors = testing::RandomErrors(rng, pixels);
    const std::vector<uint32_t> matches =
        testing::RandomMatches(rng, pixels, testing::PixelsOfB(c), 0);
    SweepCall a(c, false, errors, matches), b(c, true, errors, matches);
    ASSERT_TRUE(narrow.Call(0, a.Pointers()).ok());
    ASSERT_TRUE(wide.Call(0, b.Pointers()).ok());
    EXPECT_EQ(a.Matches(), b.Matches());
    EXPECT_EQ(a.Errors(), b.Errors());
  }
}

}  // namespace
}  // namespace gck
