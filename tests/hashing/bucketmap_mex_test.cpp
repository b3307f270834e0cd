// bucketmap_i16 and bucketmap_i32 called through their built files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/loader.h"
#include "tests/reference/hashing_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;

class BucketMapFile : public ::testing::TestWithParam<std::string> {
 protected:
  MexFile file_{GetParam()};
  bool wide() const { return GetParam() == "bucketmap_i32"; }

  // A projection image of the deliverable's element type.
  Array Image(const std::vector<size_t>& dims, const std::vector<int32_t>& values) const {
    if (wide()) return Array::Of<int32_t>(dims, values);
    return Array::Of<int16_t>(dims, std::vector<int16_t>(values.begin(), values.end()));
  }
  CallResult Map(int nlhs, const Array& table, const Array& first, const Array& second) const {
    return file_.Call(nlhs, {&table, &first, &second});
  }
};

TEST_P(BucketMapFile, EachImageGetsItsOwnCodesAndShape) {
  const Array table = Array::Matrix<uint32_t>(1, 4, {0x80000001u, 7, 0xFFFFFFFFu, 42});
  const Array first = Image({2, 3}, {1, 4, 3, 1, 2, 4});
  const Array second = Image({1, 2, 2}, {4, 4, 1, 2});  // comes back 1 x 4
  const CallResult result = Map(2, table, first, second);
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(result.outputs.size(), 2u);
  EXPECT_EQ(result.outputs[0].class_id(), mxUINT32_CLASS);
  EXPECT_EQ(result.outputs[0].dims(), (std::vector<size_t>{2, 3}));
  EXPECT_EQ(result.outputs[0].Values<uint32_t>(),
            (std::vector<uint32_t>{0x80000001u, 42, 0xFFFFFFFFu, 0x80000001u, 7, 42}));
  EXPECT_EQ(result.outputs[1].dims(), (std::vector<size_t>{1, 4}));
  EXPECT_EQ(result.outputs[1].Values<uint32_t>(), (std::vector<uint32_t>{42, 42, 0x80000001u, 7}));
}

TEST_P(BucketMapFile, MatchesTheReferenceForAnyFourByteTable) {
  std::mt19937 rng(12);
  for (mxClassID table_class : {mxUINT32_CLASS, mxINT32_CLASS, mxSINGLE_CLASS}) {
    const size_t length = 1 + rng() % 3000;
    std::vector<uint32_t> entries(length);
    for (auto& entry : entries) entry = rng();
    Array table(table_class, {length, 1});
    std::memcpy(table.Data<uint32_t>(), entries.data(), length * 4);
    std::vector<int32_t> values(37 * 41);
    for (auto& value : values) value = static_cast<int32_t>(1 + rng() % length);
    const Array image = Image({37, 41}, values);
    const CallResult result = Map(2, table, image, image);
    ASSERT_TRUE(result.ok()) << result.error;
    const std::vector<uint32_t> expected = reference::BinCodes(entries, values);
    EXPECT_EQ(result.outputs[0].Values<uint32_t>(), expected);
    EXPECT_EQ(result.outputs[1].Values<uint32_t>(), expected);
  }
}

TEST_P(BucketMapFile, EmptyImagesGiveEmptyOutputsEvenWithAnEmptyTable) {
  const Array empty_table(mxUINT32_CLASS, {0, 0});
  const CallResult result = Map(2, empty_table, Image({0, 5}, {}), Image({3, 0}, {}));
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.outputs[0].dims(), (std::vector<size_t>{0, 5}));
  EXPECT_EQ(result.outputs[1].dims(), (std::vector<size_t>{3, 0}));
}

TEST_P(BucketMapFile, MakesOnlyTheOutputsAskedFor) {
  const Array table = Array::Matrix<uint32_t>(1, 2, {5, 6});
  const Array first = Image({1, 2}, {2, 1});
  const Array stray = Image({1, 2}, {0, 3});  // never read when its output is not asked for
  for (int nlhs : {0, 1}) {
    const CallResult result = Map(nlhs, table, first, stray);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.outputs.size(), 1u);
    EXPECT_EQ(result.outputs[0].Values<uint32_t>(), (std::vector<uint32_t>{6, 5}));
  }
  const CallResult three = Map(3, table, first, first);
  ASSERT_TRUE(three.ok()) << three.error;
  EXPECT_EQ(three.outputs.size(), 2u);
}

TEST_P(BucketMapFile, RefusesCallsThatWouldReadOutsideTheTable) {
  const Array table = Array::Matrix<uint32_t>(1, 3, {5, 6, 7});
  const Array good = Image({1, 2}, {1, 3});
  const std::string width = wide() ? "4" : "2";
  const std::string name = GetParam();
  const Array double_table(mxDOUBLE_CLASS, {1, 3}), empty_table(mxUINT32_CLASS, {0, 1});
  const Array byte_image(mxINT8_CLASS, {1, 2}), cell(mxCELL_CLASS, {1, 1});
  const Array zero = Image({2, 1}, {1, 0}), past_end = Image({1, 3}, {3, 4, -7});
  const struct {
    std::vector<const Array*> inputs;
    std::string message;
  } calls[] = {
      {{}, name + " needs three inputs: a lookup table and two projection images."},
      {{&table, &good}, name + " needs three inputs: a lookup table and two projection images."},
      {{&double_table, &good, &good},
       "Lookup table must be an array of 4-byte elements."},
      {{&table, &byte_image, &good},
       "First projection image must be an array of " + width + "-byte elements."},
      {{&table, &good, &cell},
       "Second projection image must be an array of " + width + "-byte elements."},
      {{&table, &zero, &good},
       "First projection image holds 0 at element 2; values must lie in 1..3, the lookup table's "
       "entries."},
      {{&table, &good, &past_end},
       "Second projection image holds 4 at element 2; values must lie in 1..3, the lookup table's "
       "entries."},
      {{&empty_table, &good, &good},
       "First projection image holds 1 at element 1; values must lie in 1..0, the lookup table's "
       "entries."},
  };
  for (const auto& call : calls) {
    const CallResult result = file_.Call(2, call.inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, call.message);
    EXPECT_TRUE(result.outputs.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, BucketMapFile,
                         ::testing::Values("bucketmap_i16", "bucketmap_i32"));

}  // namespace
}  // namespace gck
