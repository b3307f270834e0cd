// The within-one-image sweep on hand-made images: the reciprocal insertion and where it happens.
#include "propagation/kbest_self_sweep.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/propagation/kbest_problems.h"

namespace gck {
namespace {

constexpr uint32_t kMax = 4294967295u;

// A 3 x 3 image whose only pixel in the reciprocal zone is p = 5 (row 2, column 1). Its first
// candidate is pixel 0 (the one slot of the one bucket of B), at distance 6; pixel 0 is never
// visited by a downward sweep, so only an offer from p can change its list. Every list but p's
// starts at error 0, so no other pixel accepts anything but itself.
struct OfferToPixelZero {
  std::vector<int16_t> stack;
  std::vector<uint32_t> codes = std::vector<uint32_t>(9, 1);
  std::vector<uint32_t> table_a = {2};
  std::vector<uint32_t> table_b = {1};
  testing::KBestLists lists;

  explicit OfferToPixelZero(std::vector<uint32_t> errors_of_zero,
                            std::vector<uint32_t> matches_of_zero) {
    for (int16_t i = 0; i < 9; ++i)
      stack.insert(stack.end(), {static_cast<int16_t>(100 * i), 0, 0});
    stack[0] = 2, stack[1] = 1, stack[2] = 1;  // pixel 0 at (2, 1, 1)
    stack[15] = 0;                             // pixel 5 at (0, 0, 0)
    lists.errors.assign(18, 0);
    lists.matches.resize(18);
    for (uint32_t p = 0; p < 9; ++p) lists.matches[2 * p] = lists.matches[2 * p + 1] = (p + 3) % 9;
    lists.errors[0] = errors_of_zero[0], lists.errors[1] = errors_of_zero[1];
    lists.matches[0] = matches_of_zero[0], lists.matches[1] = matches_of_zero[1];
    lists.errors[10] = lists.errors[11] = kMax;
    lists.matches[10] = lists.matches[11] = 5;
  }

  // Runs one downward sweep and returns pixel 0's list as (error, match) pairs.
  std::vector<uint32_t> Sweep(bool reciprocal) {
    SweepInputs<int16_t> in{};
    in.stack_a = in.stack_b = stack.data();
    in.codes_a = in.codes_b = codes.data();
    in.table_a = table_a.data();
    in.table_b = table_b.data();
    in.rows = in.cols = in.rows_b = 3;
    in.pixels_b = 9;
    in.kernels = 3;
    in.buckets = 1;
    in.slots = 1;
    in.downward = true;
    KBestSelfSweep(in, 2, reciprocal, lists.errors.data(), lists.matches.data());
    return {lists.errors[0], lists.matches[0], lists.errors[1], lists.matches[1]};
  }
};

TEST(KBestSelfSweep, AcceptingPixelInTheZoneIsOfferedToItsCandidate) {
  EXPECT_EQ(OfferToPixelZero({3, 8}, {1, 2}).Sweep(true), (std::vector<uint32_t>{6, 5, 3, 1}));
  EXPECT_EQ(OfferToPixelZero({3, 6}, {1, 2}).Sweep(true), (std::vector<uint32_t>{6, 5, 3, 1}));
  // Too far for pixel 0's list, or already in it: unchanged.
  EXPECT_EQ(OfferToPixelZero({3, 5}, {1, 2}).Sweep(true), (std::vector<uint32_t>{3, 1, 5, 2}));
  EXPECT_EQ(OfferToPixelZero({3, 8}, {1, 5}).Sweep(true), (std::vector<uint32_t>{3, 1, 8, 5}));
}

TEST(KBestSelfSweep, WithoutReciprocalInsertionOnlyVisitedListsChange) {
  EXPECT_EQ(OfferToPixelZero({3, 8}, {1, 2}).Sweep(false), (std::vector<uint32_t>{3, 1, 8, 2}));
}

// Images of at most two rows or two columns have no reciprocal zone: both builds agree, and pixels
// that the sweep does not visit keep their lists.
TEST(KBestSelfSweep, NarrowImagesHaveNoReciprocalZone) {
  int checked = 0;
  for (unsigned seed = 1; checked < 100; ++seed) {
    testing::ProblemMaker<int32_t> maker(seed);
    testing::ProblemShape shape;
    shape.self = true;
    shape.k = 1 + seed % 4;
    shape.hashes = seed % 3;
    const reference::KBestProblem<int32_t> pr = maker.Problem(shape);
    if (pr.rows > 2 && pr.cols > 2) continue;
    ++checked;
    const uint32_t pixels = pr.rows * pr.cols;
    const testing::KBestLists start = maker.Lists(pixels, pixels, shape.k, false);
    testing::KBestLists on = start, off = start;
    KBestSelfSweep(testing::InputsOf(pr), shape.k, true, on.errors.data(), on.matches.data());
    KBestSelfSweep(testing::InputsOf(pr), shape.k, false, off.errors.data(), off.matches.data());
    ASSERT_TRUE(on == off) << "seed " << seed;
    for (uint32_t p = 0; p < pixels; ++p) {
      const uint32_t row = p % pr.rows, col = p / pr.rows;
      const bool visited =
          pr.downward ? row > 0 && col > 0 : row + 1 < pr.rows && col + 1 < pr.cols;
      if (visited) continue;
      for (uint32_t s = 0; s < shape.k; ++s) {
        ASSERT_EQ(on.matches[p * shape.k + s], start.matches[p * shape.k + s]) << "seed " << seed;
        ASSERT_EQ(on.errors[p * shape.k + s], start.errors[p * shape.k + s]) << "seed " << seed;
      }
    }
  }
}

}  // namespace
}  // namespace gck
