#include "hashing/bin_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "hashing/value_range.h"

namespace gck {
namespace {

template <class V>
std::vector<uint32_t> Lookup(const std::vector<uint32_t>& table, const std::vector<V>& values) {
  std::vector<uint32_t> out(values.size() + 1, 0);
  LookupBinCodes(table.data(), values.data(), static_cast<int32_t>(values.size()), out.data());
  EXPECT_EQ(out.back(), 0u) << "wrote past the output";
  out.pop_back();
  return out;
}

TEST(BinCodes, EndsOfTheTableAndTopBitEntries) {
  const std::vector<uint32_t> table = {0x80000001u, 7, 0xFFFFFFFFu, 42};
  const std::vector<uint32_t> expected = {0x80000001u, 42, 0xFFFFFFFFu, 0x80000001u};
  EXPECT_EQ(Lookup<int16_t>(table, {1, 4, 3, 1}), expected);
  EXPECT_EQ(Lookup<int32_t>(table, {1, 4, 3, 1}), expected);
  EXPECT_TRUE(Lookup<int16_t>(table, {}).empty());
}

// The range check runs block by block; a stray value must be found wherever it sits.
template <class V>
int32_t NaiveFirstOutside(const std::vector<V>& values, int64_t low, int64_t high) {
  for (size_t k = 0; k < values.size(); ++k) {
    if (int64_t{values[k]} < low || int64_t{values[k]} > high) return static_cast<int32_t>(k);
  }
  return static_cast<int32_t>(values.size());
}

template <class V>
void CheckFirstOutside(std::mt19937& rng, V low, V high, V below, V above) {
  for (int size : {0, 1, 4095, 4096, 4097, 20000}) {
    std::vector<V> values(size);
    for (auto& v : values) v = static_cast<V>(low + rng() % (int64_t{high} - low + 1));
    EXPECT_EQ(FirstOutside(values.data(), size, low, high), size);
    for (int trial = 0; trial < 20 && size > 0; ++trial) {
      std::vector<V> spoilt = values;
      for (int n = 0; n < 1 + trial % 3; ++n) spoilt[rng() % size] = rng() % 2 ? below : above;
      ASSERT_EQ(FirstOutside(spoilt.data(), size, low, high), NaiveFirstOutside(spoilt, low, high));
    }
  }
}

TEST(ValueRange, FindsTheFirstStrayValueInEveryElementType) {
  std::mt19937 rng(5);
  CheckFirstOutside<int16_t>(rng, 1, 300, -32768, 301);
  CheckFirstOutside<int16_t>(rng, 1, 32767, 0, 0);
  CheckFirstOutside<int32_t>(rng, 1, 70000, -5, 2147483647);
  CheckFirstOutside<uint32_t>(rng, 1, 1024, 0, 0xFFFFFFFFu);
  // An empty table admits no value at all.
  const int16_t one = 1;
  EXPECT_EQ(FirstOutside(&one, 1, 1, 0), 0);
}

}  // namespace
}  // namespace gck
