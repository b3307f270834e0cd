// The k-best scoring on hand-made lists: which slot a newcomer drops, where the old entries go, and
// what is passed over.
#include <gtest/gtest.h>

#include <vector>

#include "propagation/kbest_list.h"

namespace gck {
namespace {

constexpr uint32_t kMax = 4294967295u;

// Pixel 0 of A is the zero vector of four values; pixel q of B lies at distance distances[q] from
// it.
class KBestScoring : public ::testing::Test {
 protected:
  void SetUpB(const std::vector<uint32_t>& distances) {
    stack_b_.clear();
    for (uint32_t d : distances) {
      // Four squares summing to d, found by search (every d is one).
      bool found = false;
      for (int a = 0; a * a <= static_cast<int>(d) && !found; ++a)
        for (int b = 0; a * a + b * b <= static_cast<int>(d) && !found; ++b)
          for (int c = 0; a * a + b * b + c * c <= static_cast<int>(d) && !found; ++c) {
            const int rest = static_cast<int>(d) - a * a - b * b - c * c;
            int e = 0;
            while (e * e < rest) ++e;
            if (e * e == rest) {
              stack_b_.insert(stack_b_.end(), {static_cast<int16_t>(a), static_cast<int16_t>(b),
                                               static_cast<int16_t>(c), static_cast<int16_t>(e)});
              found = true;
            }
          }
      ASSERT_TRUE(found);
    }
    in_.stack_a = stack_a_.data();
    in_.stack_b = stack_b_.data();
    in_.kernels = 4;
    in_.pixels_b = static_cast<uint32_t>(distances.size());
  }

  bool Score(uint32_t q) {
    uint32_t distance = 0;
    return kbest::CalcSqrDifferenceAndTakeBest(in_, 0, q, static_cast<uint32_t>(errors_.size()),
                                               errors_.data(), matches_.data(), &distance);
  }

  std::vector<int16_t> stack_a_ = std::vector<int16_t>(4, 0);
  std::vector<int16_t> stack_b_;
  SweepInputs<int16_t> in_{};
  std::vector<uint32_t> errors_, matches_;
};

TEST_F(KBestScoring, NewcomerTakesSlotZeroAndTheOldSlotZeroTakesTheWorstSlot) {
  SetUpB({0, 0, 0, 0, 0, 0, 0, 7});  // q0 = 3, q1 = 4, q2 = 7
  errors_ = {5, 9};
  matches_ = {3, 4};
  EXPECT_TRUE(Score(7));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{7, 5}));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{7, 3}));
}

TEST_F(KBestScoring, ListsStartingAtTheLargestErrorFillInOrderOfAcceptance) {
  SetUpB({11, 12, 13, 14, 15, 0, 0, 0, 0, 0});
  errors_ = {kMax, kMax, kMax, kMax};
  matches_ = {9, 9, 9, 9};
  for (uint32_t q : {0u, 1u, 2u, 3u}) EXPECT_TRUE(Score(q));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{3, 0, 1, 2}));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{14, 11, 12, 13}));
  // Full: the largest error, 14 in slot 0, is the one a fifth candidate drops.
  EXPECT_FALSE(Score(4));
  EXPECT_TRUE(Score(5));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{5, 0, 1, 2}));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{0, 11, 12, 13}));
}

TEST_F(KBestScoring, AllZeroListDropsSlotOne) {
  SetUpB({0, 1, 0, 0, 0, 0});
  errors_ = {0, 0, 0};
  matches_ = {2, 3, 4};
  EXPECT_FALSE(Score(1));  // distance 1 exceeds the budget 0
  EXPECT_TRUE(Score(5));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{5, 2, 4}));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{0, 0, 0}));
}

TEST_F(KBestScoring, SingleEntryListUsesSlotZero) {
  SetUpB({0, 0, 3});
  errors_ = {0};
  matches_ = {1};
  EXPECT_TRUE(Score(0));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{0}));
  EXPECT_FALSE(Score(2));
  errors_ = {3};
  EXPECT_TRUE(Score(2));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{2}));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{3}));
}

TEST_F(KBestScoring, CandidateAlreadyListedIsPassedOverWhateverItsDistance) {
  SetUpB({1, 1, 1});
  errors_ = {50, 100, 70};
  matches_ = {0, 1, 0};  // a duplicate the caller put in stays
  EXPECT_FALSE(Score(1));
  EXPECT_FALSE(Score(0));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{50, 100, 70}));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{0, 1, 0}));
}

TEST_F(KBestScoring, TiesWithTheLargestErrorGoToTheNewcomerAndDropTheLowerSlot) {
  SetUpB({0, 0, 0, 0, 21, 20});
  errors_ = {3, 20, 5, 20};
  matches_ = {0, 1, 2, 3};
  EXPECT_FALSE(Score(4));
  EXPECT_TRUE(Score(5));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{20, 3, 5, 20}));
  EXPECT_EQ(matches_, (std::vector<uint32_t>{5, 0, 2, 3}));
}

TEST_F(KBestScoring, CandidateOutsideBIsPassedOver) {
  SetUpB({0, 0});
  errors_ = {kMax, kMax};
  matches_ = {0, 0};
  EXPECT_FALSE(Score(2));
  EXPECT_FALSE(Score(kMax));
  EXPECT_EQ(errors_, (std::vector<uint32_t>{kMax, kMax}));
}

}  // namespace
}  // namespace gck
