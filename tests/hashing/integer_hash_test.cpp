#include "hashing/integer_hash.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/reference/hashing_reference.h"

namespace gck {
namespace {

// hash_1 .. hash_9 by selector, so tables of expectations can be walked.
template <class Word>
Word HashBySelector(int selector, Word key) {
  Word (*const routines[])(Word) = {hash_1<Word>, hash_2<Word>, hash_3<Word>,
                                    hash_4<Word>, hash_5<Word>, hash_6<Word>,
                                    hash_7<Word>, hash_8<Word>, hash_9<Word>};
  return routines[selector - 1](key);
}

template <class Word>
std::vector<uint32_t> Codes(const std::vector<Word>& keys, int selector, int bits) {
  std::vector<uint32_t> codes(keys.size() + 1, 0xA5A5A5A5u);  // one guard element past the end
  HashKeys(keys.data(), static_cast<int32_t>(keys.size()), selector, bits, codes.data());
  EXPECT_EQ(codes.back(), 0xA5A5A5A5u) << "wrote past the codes";
  codes.pop_back();
  return codes;
}

TEST(IntegerHash, KeyOneGivesThePublishedValuesInBothWidths) {
  // Selectors 1..6; 7, 8, 9 repeat 2, 3, 4.
  const uint32_t narrow[] = {0x27922C9D, 0xB48681B6, 0xC2B73583, 0x62BAF5A0, 0x2BA58337, 0xDEB66AB9};
  const uint64_t wide[] = {0x5927202C9D,       0x1B0C7044081B6,    0x873A8E77D9EB833A,
                           0x4636B9C923744B91, 0x7028258337,       0xDEB66AB9};
  for (int selector = 1; selector <= 9; ++selector) {
    const int row = selector <= 6 ? selector - 1 : selector - 6;
    EXPECT_EQ(HashBySelector<uint32_t>(selector, 1), narrow[row]) << "selector " << selector;
    EXPECT_EQ(HashBySelector<uint64_t>(selector, 1), wide[row]) << "selector " << selector;
  }
}

TEST(IntegerHash, SixteenBitCodesOfKeyOne) {
  const uint32_t narrow[] = {11421, 33206, 13699, 62880, 33591, 27321};
  const uint32_t wide[] = {11421, 33206, 33594, 19345, 33591, 27321};
  for (int selector = 1; selector <= 6; ++selector) {
    EXPECT_EQ(Codes<uint32_t>({1}, selector, 16)[0], narrow[selector - 1]) << selector;
    EXPECT_EQ(Codes<uint64_t>({1}, selector, 16)[0], wide[selector - 1]) << selector;
  }
}

TEST(IntegerHash, MaskTakesTheLowFiveBitsOfBits) {
  const std::vector<uint64_t> keys = {1, 2, 0xFFFFFFFFFFFFFFFFull, 0x123456789ull};
  const std::vector<uint32_t> zeros(keys.size(), 0);
  for (int selector = 1; selector <= 9; ++selector) {
    EXPECT_EQ(Codes(keys, selector, 0), zeros);
    EXPECT_EQ(Codes(keys, selector, 32), zeros);
    EXPECT_EQ(Codes(keys, selector, 33), Codes(keys, selector, 1));
    EXPECT_EQ(Codes(keys, selector, -1), Codes(keys, selector, 31));
    for (uint32_t code : Codes(keys, selector, 31)) EXPECT_EQ(code >> 31, 0u);
  }
}

TEST(IntegerHash, EmptyKeysWriteNothing) {
  EXPECT_TRUE(Codes<uint32_t>({}, 1, 16).empty());
  EXPECT_TRUE(Codes<uint64_t>({}, 9, 16).empty());
}

// Keys spread over every bit, including the upper half of 64-bit words, against the step-by-step
// reference; twin selectors are covered because the reference computes each twin on its own.
TEST(IntegerHash, MatchesTheReferenceOnRandomKeys) {
  std::mt19937_64 rng(2024);
  std::vector<uint64_t> wide(1000);
  std::vector<uint32_t> narrow(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    wide[i] = rng() >> (rng() % 64);
    narrow[i] = static_cast<uint32_t>(wide[i]);
  }
  wide[0] = 0, wide[1] = ~uint64_t{0}, narrow[0] = 0, narrow[1] = ~uint32_t{0};
  for (int selector = 1; selector <= 9; ++selector) {
    for (int bits : {1, 7, 16, 24, 31}) {
      const uint64_t mask = (uint64_t{1} << bits) - 1;
      const std::vector<uint32_t> wide_codes = Codes(wide, selector, bits);
      const std::vector<uint32_t> narrow_codes = Codes(narrow, selector, bits);
      for (size_t i = 0; i < wide.size(); ++i) {
        ASSERT_EQ(wide_codes[i], reference::Hash(selector, wide[i], 64) & mask)
            << "selector " << selector << " bits " << bits << " key " << wide[i];
        ASSERT_EQ(narrow_codes[i], reference::Hash(selector, narrow[i], 32) & mask)
            << "selector " << selector << " bits " << bits << " key " << narrow[i];
      }
    }
  }
}

}  // namespace
}  // namespace gck
