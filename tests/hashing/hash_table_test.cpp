#include "hashing/hash_table.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/reference/hashing_reference.h"

namespace gck {
namespace {

constexpr uint32_t kPrior = 0xDEADBEEF;

// One fill through the core, with a slot counter left dirty on purpose.
std::vector<uint32_t> Filled(std::vector<uint32_t> table, const std::vector<uint32_t>& codes, int bits,
                             int rows, int cols, int offset, SlotPolicy policy) {
  std::vector<uint8_t> counter(size_t{1} << bits, 0x5A);
  FillHashTable(table.data(), codes.data(), bits, rows, cols, offset, policy, counter.data());
  return table;
}

// A 3 x 4 image: columns 1 and 2 (pixels 3..8) are stored. Pixels 3, 5 and 8 share code 2 and no
// other stored pixel has it (the outer columns are never read for storing).
const std::vector<uint32_t> kSharedCodes = {2, 2, 2, 2, 1, 2, 1, 1, 2, 2, 2, 2};

TEST(HashTableFill, ThreePixelsInOneBucket) {
  const int bits = 1;  // R = 2: bucket 1 at rows 1 of each slot column
  const auto slot = [](const std::vector<uint32_t>& table, int s) { return table[1 + 2 * s]; };
  const std::vector<uint32_t> prior(2 * 4, kPrior);

  const std::vector<uint32_t> fixed = Filled(prior, kSharedCodes, bits, 3, 4, 0, SlotPolicy::TwoFixed());
  EXPECT_EQ(slot(fixed, 0), 3u + 1);
  EXPECT_EQ(slot(fixed, 1), 8u + 1);
  EXPECT_EQ(slot(fixed, 2), kPrior);

  const std::vector<uint32_t> two = Filled(prior, kSharedCodes, bits, 3, 4, 0, SlotPolicy::Ring(2));
  EXPECT_EQ(slot(two, 0), 8u + 1);
  EXPECT_EQ(slot(two, 1), 5u + 1);

  const std::vector<uint32_t> one = Filled(prior, kSharedCodes, bits, 3, 4, 0, SlotPolicy::Ring(1));
  EXPECT_EQ(slot(one, 0), 8u + 1);
  EXPECT_EQ(slot(one, 1), kPrior);

  const std::vector<uint32_t> four = Filled(prior, kSharedCodes, bits, 3, 4, 0, SlotPolicy::Ring(4));
  EXPECT_EQ(slot(four, 0), 3u + 1);
  EXPECT_EQ(slot(four, 1), 5u + 1);
  EXPECT_EQ(slot(four, 2), 8u + 1);
  EXPECT_EQ(slot(four, 3), kPrior);
}

TEST(HashTableFill, NothingIsVisitedWithoutInnerColumns) {
  const std::vector<uint32_t> prior(4 * 4, kPrior);
  const std::vector<uint32_t> codes(64, 1);
  for (SlotPolicy policy : {SlotPolicy::TwoFixed(), SlotPolicy::Ring(3)}) {
    for (int cols : {0, 1, 2}) EXPECT_EQ(Filled(prior, codes, 2, 5, cols, 0, policy), prior);
    EXPECT_EQ(Filled(prior, codes, 2, 0, 9, 0, policy), prior);
  }
}

TEST(HashTableFill, SecondCallRepeatsTheFirst) {
  std::mt19937 rng(8);
  const int rows = 17, cols = 23, bits = 3;
  std::vector<uint32_t> codes(rows * cols);
  for (auto& code : codes) code = 1 + rng() % 8;
  for (SlotPolicy policy : {SlotPolicy::TwoFixed(), SlotPolicy::Ring(1), SlotPolicy::Ring(5),
                            SlotPolicy::Ring(128)}) {
    const std::vector<uint32_t> prior(8 * 128, kPrior);
    const std::vector<uint32_t> once = Filled(prior, codes, bits, rows, cols, 0, policy);
    EXPECT_EQ(Filled(once, codes, bits, rows, cols, 0, policy), once);
  }
}

TEST(HashTableFill, MatchesTheReferenceOnRandomImages) {
  std::mt19937 rng(31);
  for (int trial = 0; trial < 300; ++trial) {
    const int bits = static_cast<int>(rng() % 7);
    const int rows = static_cast<int>(rng() % 20);
    const int cols = static_cast<int>(rng() % 20);
    const int offset = static_cast<int>(rng() % 5);
    const int ring = trial % 3 == 0 ? 0 : static_cast<int>(1 + rng() % (trial % 2 ? 4 : 128));
    const SlotPolicy policy = ring == 0 ? SlotPolicy::TwoFixed() : SlotPolicy::Ring(ring);
    const int buckets = 1 << bits;
    std::vector<uint32_t> codes(offset + rows * cols);
    for (auto& code : codes) code = 1 + rng() % buckets;
    std::vector<uint32_t> prior(buckets * (policy.slots() + 1));  // one column the fill never touches
    for (auto& entry : prior) entry = rng();
    ASSERT_EQ(Filled(prior, codes, bits, rows, cols, offset, policy),
              reference::FilledTable(prior, codes, bits, rows, cols, offset, ring))
        << "bits " << bits << " " << rows << "x" << cols << " offset " << offset << " ring " << ring;
  }
}

}  // namespace
}  // namespace gck
