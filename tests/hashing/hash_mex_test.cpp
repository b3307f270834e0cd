// `hash` called through its built file: 64-bit keys and words in the Linux build, 32-bit in the
// Windows build.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

#include "bridge/build_flavour.h"
#include "host/loader.h"
#include "tests/reference/hashing_reference.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;

using Key = std::conditional_t<kWindowsBuild, uint32_t, uint64_t>;
constexpr int kWordBits = kWindowsBuild ? 32 : 64;
constexpr const char* kKeyWidthMessage = kWindowsBuild ? "Keys must be an array of 4-byte elements."
                                                       : "Keys must be an array of 8-byte elements.";

class HashFile : public ::testing::Test {
 protected:
  MexFile file_{"hash"};

  std::vector<uint32_t> Codes(const Array& keys, double selector, double bits) const {
    const Array s = Array::Scalar<double>(selector), b = Array::Scalar<double>(bits);
    const CallResult result = file_.Call(1, {&keys, &s, &b});
    EXPECT_TRUE(result.ok()) << result.error;
    if (!result.ok()) return {};
    EXPECT_EQ(result.outputs[0].class_id(), mxUINT32_CLASS);
    EXPECT_EQ(result.outputs[0].dims(), (std::vector<size_t>{keys.rows(), keys.cols()}));
    return result.outputs[0].Values<uint32_t>();
  }
};

TEST_F(HashFile, SixteenBitCodesOfKeyOneFollowTheBuildsWordWidth) {
  const uint32_t expected[] = {11421, 33206, 33594, 19345, 33591, 27321};
  const uint32_t expected_narrow[] = {11421, 33206, 13699, 62880, 33591, 27321};
  const Array one = Array::Scalar<Key>(1);
  for (int selector = 1; selector <= 9; ++selector) {
    const int row = selector <= 6 ? selector - 1 : selector - 6;
    EXPECT_EQ(Codes(one, selector, 16), std::vector<uint32_t>{
                                            kWindowsBuild ? expected_narrow[row] : expected[row]})
        << "selector " << selector;
  }
}

TEST_F(HashFile, MatchesTheReferenceOnRandomKeys) {
  std::mt19937_64 rng(77);
  std::vector<Key> keys(5 * 4 * 3);
  for (auto& key : keys) key = static_cast<Key>(rng() >> (rng() % 64));
  const Array array = Array::Of<Key>({5, 4, 3}, keys);  // comes back 5 x 12
  for (int selector = 1; selector <= 9; ++selector) {
    for (int bits : {0, 1, 13, 31, 32, 33}) {
      const uint64_t mask = (uint64_t{1} << (bits & 31)) - 1;
      const std::vector<uint32_t> codes = Codes(array, selector + 0.75, bits);  // truncated
      ASSERT_EQ(codes.size(), keys.size());
      for (size_t k = 0; k < keys.size(); ++k) {
        ASSERT_EQ(codes[k], reference::Hash(selector, keys[k], kWordBits) & mask)
            << "selector " << selector << " bits " << bits << " key " << keys[k];
      }
    }
  }
}

TEST_F(HashFile, EmptyKeysGiveAnEmptyOutputOfTheirShape) {
  EXPECT_TRUE(Codes(Array(static_cast<mxClassID>(ClassOf<Key>::value), {0, 3}), 1, 8).empty());
}

TEST_F(HashFile, MakesOneOutputHoweverManyAreAsked) {
  const Array keys = Array::Matrix<Key>(1, 2, {1, 2});
  const Array s = Array::Scalar<double>(3), b = Array::Scalar<double>(16);
  for (int nlhs : {0, 1, 2, 3}) {
    const CallResult result = file_.Call(nlhs, {&keys, &s, &b});
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.outputs.size(), 1u) << nlhs << " outputs asked";
  }
}

TEST_F(HashFile, RefusesCallsItCannotServe) {
  using WrongKey = std::conditional_t<kWindowsBuild, uint64_t, uint32_t>;
  const Array keys = Array::Matrix<Key>(1, 2, {1, 2});
  const Array wrong_keys = Array::Matrix<WrongKey>(1, 2, {1, 2});
  const Array logical_keys(mxLOGICAL_CLASS, {1, 2});
  const Array three = Array::Scalar<double>(3), bits = Array::Scalar<double>(16);
  const Array zero = Array::Scalar<double>(0), ten = Array::Scalar<int32_t>(10);
  const Array nan = Array::Scalar<double>(std::nan("")), empty(mxDOUBLE_CLASS, {0, 1});
  const Array cell(mxCELL_CLASS, {1, 1});
  const Array huge = Array::Scalar<double>(std::numeric_limits<double>::infinity());
  const struct {
    std::vector<const Array*> inputs;
    const char* message;
  } calls[] = {
      {{}, "hash needs three inputs: keys, a selector and bits."},
      {{&keys, &three}, "hash needs three inputs: keys, a selector and bits."},
      {{&wrong_keys, &three, &bits}, kKeyWidthMessage},
      {{&logical_keys, &three, &bits}, kKeyWidthMessage},
      {{&keys, &zero, &bits}, "Selector must lie in 1..9; it is 0."},
      {{&keys, &ten, &bits}, "Selector must lie in 1..9; it is 10."},
      {{&keys, &nan, &bits}, "Selector must be a finite number below 2^63 in magnitude."},
      {{&keys, &empty, &bits}, "Selector must not be empty."},
      {{&keys, &cell, &bits}, "Selector must be a numeric scalar."},
      {{&keys, &three, &huge}, "Bits must be a finite number below 2^63 in magnitude."},
  };
  for (const auto& call : calls) {
    const CallResult result = file_.Call(1, call.inputs);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error, call.message);
    EXPECT_TRUE(result.outputs.empty());
  }
}

}  // namespace
}  // namespace gck
