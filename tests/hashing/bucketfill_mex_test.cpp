// bucketfill called through its built file: two fixed slots and six inputs in the Linux build, a
// ring of K slots and seven inputs in the Windows build. The table is the caller's array, rewritten.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bridge/build_flavour.h"
#include "host/loader.h"
#include "tests/reference/hashing_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;

constexpr uint32_t kPrior = 0xDEADBEEF;

// The inputs after the table and the codes, as doubles unless a test says otherwise.
struct Scalars {
  Array bits, rows, cols, offset, slots;
  Scalars(double b, double r, double c, double o, double k = 2)
      : bits(Array::Scalar<double>(b)),
        rows(Array::Scalar<double>(r)),
        cols(Array::Scalar<double>(c)),
        offset(Array::Scalar<double>(o)),
        slots(Array::Scalar<double>(k)) {}
};

class BucketFillFile : public ::testing::Test {
 protected:
  MexFile file_{"bucketfill"};

  // The build's own argument list: six inputs, or seven with the slot count.
  CallResult Fill(Array& table, const Array& codes, const Scalars& s) const {
    std::vector<const Array*> inputs = {&table, &codes, &s.bits, &s.rows, &s.cols, &s.offset};
    if (kWindowsBuild) inputs.push_back(&s.slots);
    const CallResult result = file_.Call(0, inputs);
    EXPECT_TRUE(result.outputs.empty());
    return result;
  }
};

// A 3 x 4 image: of the stored pixels 3..8, pixels 3, 5 and 8 share code 2 and the rest have code 1.
const std::vector<uint32_t> kSharedCodes = {2, 2, 2, 2, 1, 2, 1, 1, 2, 2, 2, 2};

TEST_F(BucketFillFile, ThreePixelsInOneBucketFollowTheBuildsSlotPolicy) {
  const Array codes = Array::Matrix<uint32_t>(3, 4, kSharedCodes);
  const auto bucket_one = [](const Array& table) {
    std::vector<uint32_t> slots;
    for (size_t s = 0; s < table.cols(); ++s) slots.push_back(table.Values<uint32_t>()[1 + 2 * s]);
    return slots;
  };
  if constexpr (kWindowsBuild) {
    const struct {
      int k;
      std::vector<uint32_t> slots;
    } cases[] = {{2, {9, 6, kPrior, kPrior, kPrior}},
                 {1, {9, kPrior, kPrior, kPrior, kPrior}},
                 {4, {4, 6, 9, kPrior, kPrior}}};
    for (const auto& c : cases) {
      Array table = Array::Matrix<uint32_t>(2, 5, std::vector<uint32_t>(10, kPrior));
      ASSERT_TRUE(Fill(table, codes, Scalars(1, 3, 4, 0, c.k)).ok());
      EXPECT_EQ(bucket_one(table), c.slots) << "K = " << c.k;
    }
  } else {
    Array table = Array::Matrix<uint32_t>(2, 3, std::vector<uint32_t>(6, kPrior));
    ASSERT_TRUE(Fill(table, codes, Scalars(1, 3, 4, 0)).ok());
    EXPECT_EQ(bucket_one(table), (std::vector<uint32_t>{4, 9, kPrior}));
  }
}

TEST_F(BucketFillFile, MatchesTheReferenceOnRandomImages) {
  std::mt19937 rng(404);
  for (int trial = 0; trial < 60; ++trial) {
    const int bits = static_cast<int>(rng() % 6);
    const int rows = static_cast<int>(rng() % 12), cols = static_cast<int>(rng() % 12);
    const int offset = static_cast<int>(rng() % 4);
    const int k = static_cast<int>(1 + rng() % (trial % 2 ? 3 : 128));
    const int slots = kWindowsBuild ? k : 2;
    std::vector<uint32_t> codes(offset + rows * cols + static_cast<int>(rng() % 3));
    for (auto& code : codes) code = 1 + rng() % (1u << bits);
    std::vector<uint32_t> prior((size_t{1} << bits) * (slots + 1));
    for (auto& entry : prior) entry = rng();
    // An int32 table is accepted alike: only the element width matters.
    Array table = trial % 3 ? Array::Matrix<uint32_t>(size_t{1} << bits, slots + 1, prior)
                            : Array(mxINT32_CLASS, {size_t{1} << bits, size_t(slots) + 1});
    if (trial % 3 == 0) std::memcpy(table.Data<uint32_t>(), prior.data(), prior.size() * 4);
    const CallResult result =
        Fill(table, Array::Matrix<uint32_t>(1, codes.size(), codes), Scalars(bits, rows, cols, offset, k));
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(table.Values<uint32_t>(),
              reference::FilledTable(prior, codes, bits, rows, cols, offset, kWindowsBuild ? k : 0))
        << "trial " << trial;
  }
}

TEST_F(BucketFillFile, ScalarsOfAnyClassAreTruncatedAndTakenModulo65536) {
  const Array codes = Array::Matrix<uint32_t>(3, 4, kSharedCodes);
  Array expected = Array::Matrix<uint32_t>(2, 4, std::vector<uint32_t>(8, kPrior));
  ASSERT_TRUE(Fill(expected, codes, Scalars(1, 3, 4, 0, 2)).ok());
  Scalars odd(1.9, 65536 + 3.7, -65532, 65536, 65538);  // bits 1, rows 3, cols 4, offset 0, K 2
  odd.rows = Array::Scalar<int32_t>(65539);
  odd.bits = Array::Scalar<float>(1.5f);
  Array table = Array::Matrix<uint32_t>(2, 4, std::vector<uint32_t>(8, kPrior));
  const CallResult result = Fill(table, codes, odd);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(table.Values<uint32_t>(), expected.Values<uint32_t>());
}

TEST_F(BucketFillFile, ExtraInputsAreIgnored) {
  const Array codes = Array::Matrix<uint32_t>(3, 4, kSharedCodes);
  const Scalars s(1, 3, 4, 0);
  Array table = Array::Matrix<uint32_t>(2, 2, std::vector<uint32_t>(4, kPrior));
  std::vector<const Array*> inputs = {&table, &codes, &s.bits, &s.rows, &s.cols, &s.offset, &s.slots};
  inputs.push_back(&s.slots);
  ASSERT_TRUE(file_.Call(0, inputs).ok());
  // Bucket 1 holds pixels 3, 5 and 8: slot 0 keeps the first, or the third in a ring of two.
  EXPECT_EQ(table.Values<uint32_t>()[1], kWindowsBuild ? 9u : 4u);
}

// Every refused call leaves the table exactly as it was.
TEST_F(BucketFillFile, RefusesCallsThatWouldLeaveItsArrays) {
  const std::vector<uint32_t> prior(4 * 2, kPrior);
  const Array codes = Array::Matrix<uint32_t>(3, 4, {1, 1, 1, 2, 3, 4, 1, 2, 1, 1, 1, 1});
  const Array short_codes = Array::Matrix<uint32_t>(1, 8, {1, 1, 1, 2, 3, 4, 1, 2});
  const Array zero_code = Array::Matrix<uint32_t>(3, 4, {1, 1, 1, 2, 0, 4, 1, 2, 1, 1, 1, 1});
  const Array big_code = Array::Matrix<uint32_t>(3, 4, {1, 1, 1, 2, 3, 4, 1, 5, 1, 1, 1, 1});
  const Array wide_codes(mxDOUBLE_CLASS, {3, 4});
  const struct {
    const char* what;
    Array table;
    const Array* codes;
    Scalars scalars;
    std::string message;
  } calls[] = {
      {"8-byte table", Array(mxUINT64_CLASS, {4, 2}), &codes, Scalars(2, 3, 4, 0),
       "Hash table must be an array of 4-byte elements."},
      {"2-byte codes", Array::Matrix<uint32_t>(4, 2, prior), &wide_codes, Scalars(2, 3, 4, 0),
       "Code image must be an array of 4-byte elements."},
      {"bits -1", Array::Matrix<uint32_t>(4, 2, prior), &codes, Scalars(-1, 3, 4, 0),
       "Bits must lie in 0..30; it is -1."},
      {"bits 31", Array::Matrix<uint32_t>(4, 2, prior), &codes, Scalars(31, 3, 4, 0),
       "Bits must lie in 0..30; it is 31."},
      {"bits NaN", Array::Matrix<uint32_t>(4, 2, prior), &codes, Scalars(std::nan(""), 3, 4, 0),
       "Bits must be a finite number below 2^63 in magnitude."},
      {"rows not 2^bits", Array::Matrix<uint32_t>(8, 1, prior), &codes, Scalars(2, 3, 4, 0),
       "Hash table must have 2^bits = 4 rows; it has 8."},
      {"too few slot columns", Array::Matrix<uint32_t>(4, 1, {1, 2, 3, 4}), &codes, Scalars(2, 3, 4, 0),
       "Hash table must have at least 2 columns, one per slot; it has 1."},
      {"codes too short", Array::Matrix<uint32_t>(4, 2, prior), &short_codes, Scalars(2, 3, 4, 0),
       "Code image holds 8 codes; offset + (cols - 1) * rows = 9 are needed."},
      {"offset past the codes", Array::Matrix<uint32_t>(4, 2, prior), &codes, Scalars(2, 3, 4, 4),
       "Code image holds 12 codes; offset + (cols - 1) * rows = 13 are needed."},
      {"code 0", Array::Matrix<uint32_t>(4, 2, prior), &zero_code, Scalars(2, 3, 4, 0),
       "Code image holds 0 at element 5; codes must lie in 1..4, one per bucket."},
      {"code R + 1", Array::Matrix<uint32_t>(4, 2, prior), &big_code, Scalars(2, 3, 4, 0),
       "Code image holds 5 at element 8; codes must lie in 1..4, one per bucket."},
  };
  // The same array as table and codes: the fill would rewrite the codes it is reading.
  Array shared = Array::Matrix<uint32_t>(4, 2, {1, 2, 3, 4, 4, 3, 2, 1});
  const CallResult aliased = Fill(shared, shared, Scalars(2, 2, 4, 0));
  EXPECT_EQ(aliased.error, "Hash table and code image must not share memory.");
  EXPECT_EQ(shared.Values<uint32_t>(), (std::vector<uint32_t>{1, 2, 3, 4, 4, 3, 2, 1}));
  for (const auto& c : calls) {
    Array table = c.table;
    const CallResult result = Fill(table, *c.codes, c.scalars);
    EXPECT_TRUE(result.failed) << c.what;
    EXPECT_EQ(result.error, c.message) << c.what;
    if (table.class_id() == mxUINT32_CLASS) {
      EXPECT_EQ(table.Values<uint32_t>(), c.table.Values<uint32_t>()) << c.what;
    }
  }
}

TEST_F(BucketFillFile, RefusesTooFewInputsAndSlotCountsOutsideTheRing) {
  const Array codes = Array::Matrix<uint32_t>(3, 4, kSharedCodes);
  const Scalars s(1, 3, 4, 0);
  Array table = Array::Matrix<uint32_t>(2, 2, std::vector<uint32_t>(4, kPrior));
  std::vector<const Array*> inputs = {&table, &codes, &s.bits, &s.rows, &s.cols, &s.offset};
  if (!kWindowsBuild) inputs.pop_back();
  const CallResult too_few = file_.Call(0, inputs);
  EXPECT_TRUE(too_few.failed);
  EXPECT_EQ(too_few.error,
            kWindowsBuild
                ? "bucketfill needs seven inputs: table, codes, bits, rows, columns, offset and slots."
                : "bucketfill needs six inputs: table, codes, bits, rows, columns and offset.");
  if constexpr (kWindowsBuild) {
    for (double k : {0.0, 129.0, 65536.0}) {
      const CallResult result = Fill(table, codes, Scalars(1, 3, 4, 0, k));
      EXPECT_TRUE(result.failed);
      EXPECT_EQ(result.error, "Slots must lie in 1..128; it is " +
                                  std::to_string(static_cast<int>(k) % 65536) + ".");
    }
  }
  EXPECT_EQ(table.Values<uint32_t>(), std::vector<uint32_t>(4, kPrior));
}

}  // namespace
}  // namespace gck
