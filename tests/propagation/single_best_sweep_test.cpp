#include "propagation/single_best_sweep.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/propagation/sweep_case.h"
#include "tests/reference/single_best_sweep_reference.h"

namespace gck {
namespace {

using reference::SweepCase;
using testing::CaseShape;
using testing::TypedCase;

struct Mapping {
  std::vector<uint32_t> errors, matches;
};

template <class T>
Mapping RunCore(const SweepCase& c, Mapping m) {
  TypedCase<T> typed(c);
  SingleBestSweep(typed.inputs, m.errors.data(), m.matches.data());
  return m;
}

Mapping RunCore(const SweepCase& c, const Mapping& m) {
  return c.wide ? RunCore<int32_t>(c, m) : RunCore<int16_t>(c, m);
}

Mapping RunReference(const SweepCase& c, Mapping m) {
  reference::SingleBestSweep(c, m.errors, m.matches);
  return m;
}

// Three sweeps in a row, each compared with the reference, over every element type, stack height,
// slot count and direction.
void ExpectSweepsMatchReference(const CaseShape& base, unsigned seed, int cases) {
  std::mt19937 rng(seed);
  for (int i = 0; i < cases; ++i) {
    for (uint32_t kernels : {1u, 2u, 3u, 4u, 7u}) {
      for (uint32_t hash_slots : {0u, 1u, 2u}) {
        CaseShape shape = base;
        shape.kernels = kernels;
        shape.hash_slots = hash_slots;
        shape.wide = i % 2 == 1;
        SweepCase c = testing::RandomCase(rng, shape);
        const size_t pixels = c.rows * c.cols;
        Mapping core{testing::RandomErrors(rng, pixels),
                     testing::RandomMatches(rng, pixels, testing::PixelsOfB(c), shape.bad_rate)};
        Mapping expected = core;
        for (int sweep = 0; sweep < 3; ++sweep) {
          c.downward = !c.downward;
          core = RunCore(c, core);
          expected = RunReference(c, expected);
          ASSERT_EQ(core.matches, expected.matches)
              << "case " << i << " K=" << kernels << " H=" << hash_slots << " sweep " << sweep;
          ASSERT_EQ(core.errors, expected.errors)
              << "case " << i << " K=" << kernels << " H=" << hash_slots << " sweep " << sweep;
        }
      }
    }
  }
}

TEST(SingleBestSweep, MatchesReferenceOnValidInputs) {
  ExpectSweepsMatchReference(CaseShape{}, 1, 120);
}

TEST(SingleBestSweep, MatchesReferenceWherePairSumsWrap) {
  CaseShape shape;
  shape.extremes = true;
  ExpectSweepsMatchReference(shape, 2, 80);
}

TEST(SingleBestSweep, SkipsEmptySlotsBadCodesAndCandidatesOutsideB) {
  CaseShape shape;
  shape.bad_rate = 0.25;
  ExpectSweepsMatchReference(shape, 3, 80);
}

// A hand-made case: A and B of the given sizes with one kernel, B's values given, A all zero,
// one bucket whose slot holds `slot` (1-based, 0 = empty) in both tables and every code 1.
SweepCase OneKernelCase(uint32_t rows, uint32_t cols, uint32_t rows_b,
                        const std::vector<int64_t>& values_b, uint32_t slot) {
  SweepCase c;
  c.rows = rows;
  c.cols = cols;
  c.rows_b = rows_b;
  c.kernels = 1;
  c.buckets = 1;
  c.hash_slots = 1;
  c.stack_a.assign(rows * cols, 0);
  c.stack_b = values_b;
  c.codes_a.assign(rows * cols, 1);
  c.codes_b.assign(values_b.size(), 1);
  c.table_a = {slot};
  c.table_b = {slot};
  return c;
}

TEST(SingleBestSweep, VisitsOnlyPixelsWithBothNeighbours) {
  // B's value at pixel q is q + 1, so every candidate is scored with a distinct distance.
  std::vector<int64_t> values_b(16);
  for (size_t q = 0; q < values_b.size(); ++q) values_b[q] = static_cast<int64_t>(q) + 1;
  for (const auto& size : {std::pair<uint32_t, uint32_t>{1, 6}, {6, 1}, {1, 1}}) {
    for (bool downward : {true, false}) {
      SweepCase c = OneKernelCase(size.first, size.second, 4, values_b, 0);
      c.downward = downward;
      const size_t pixels = c.rows * c.cols;
      const Mapping start{std::vector<uint32_t>(pixels, 4294967295u),
                          std::vector<uint32_t>(pixels, 5)};
      const Mapping end = RunCore(c, start);
      EXPECT_EQ(end.errors, start.errors);
      EXPECT_EQ(end.matches, start.matches);
    }
  }
}

TEST(SingleBestSweep, TwoByTwoReadsTheRightNeighbours) {
  // B is 4 x 4 with value q + 1 at pixel q; the tables are empty, so only moved matches count.
  std::vector<int64_t> values_b(16);
  for (size_t q = 0; q < values_b.size(); ++q) values_b[q] = static_cast<int64_t>(q) + 1;
  SweepCase c = OneKernelCase(2, 2, 4, values_b, 0);
  const uint32_t kMax = 4294967295u;
  // Downward: p = 3 with first neighbour 1 (moved by one column of B) and second neighbour 2.
  c.downward = true;
  Mapping end = RunCore(c, {{kMax, kMax, kMax, kMax}, {9, 5, 7, 0}});
  // Candidates 5 + 4 = 9 (distance 100), then 7 + 1 = 8 (distance 81).
  EXPECT_EQ(end.matches, (std::vector<uint32_t>{9, 5, 7, 8}));
  EXPECT_EQ(end.errors, (std::vector<uint32_t>{kMax, kMax, kMax, 81}));
  // Upward: p = 0 with first neighbour 2 (moved back a column) and second neighbour 1.
  c.downward = false;
  end = RunCore(c, {{kMax, kMax, kMax, kMax}, {3, 6, 13, 0}});
  // Candidates 13 - 4 = 9 (distance 100), then 6 - 1 = 5 (distance 36).
  EXPECT_EQ(end.matches, (std::vector<uint32_t>{5, 6, 13, 0}));
  EXPECT_EQ(end.errors, (std::vector<uint32_t>{36, kMax, kMax, kMax}));
}

TEST(SingleBestSweep, LeavesTheFirstRowAndColumnOfItsDirection) {
  std::mt19937 rng(4);
  for (int i = 0; i < 50; ++i) {
    SweepCase c = testing::RandomCase(rng, CaseShape{});
    const size_t pixels = c.rows * c.cols;
    const Mapping start{std::vector<uint32_t>(pixels, 4294967295u),
                        testing::RandomMatches(rng, pixels, testing::PixelsOfB(c), 0)};
    const Mapping end = RunCore(c, start);
    for (uint32_t col = 0; col < c.cols; ++col) {
      for (uint32_t row = 0; row < c.rows; ++row) {
        const bool fixed =
            c.downward ? row == 0 || col == 0 : row == c.rows - 1 || col == c.cols - 1;
        if (!fixed) continue;
        const size_t p = row + col * c.rows;
        EXPECT_EQ(end.errors[p], start.errors[p]);
        EXPECT_EQ(end.matches[p], start.matches[p]);
      }
    }
  }
}

TEST(SingleBestSweep, TiesGoToTheLaterCandidateAndKeepTheError) {
  // B's pixels 1 and 6 both lie at distance 4 from A's zeros; pixel 1 is in the bucket (scored
  // first), pixel 6 is the second neighbour's match moved one row down (scored later). Pixel 6's
  // code selects a bucket holding only pixel 6 itself, so nothing is scored after it.
  SweepCase c = OneKernelCase(2, 2, 3, {9, 2, 9, 9, 9, 9, -2, 9, 9}, 2);
  c.buckets = 2;
  c.table_a = {2, 2};
  c.table_b = {2, 7};
  c.codes_b[6] = 2;
  c.downward = true;
  const uint32_t kMax = 4294967295u;
  Mapping end = RunCore(c, {{kMax, kMax, kMax, kMax}, {0, 8, 5, 0}});
  EXPECT_EQ(end.matches[3], 6u);
  EXPECT_EQ(end.errors[3], 4u);
  // With E already at 4 and Map on pixel 1, the later tie still takes over without changing E.
  end = RunCore(c, {{kMax, kMax, kMax, 4}, {0, 8, 5, 1}});
  EXPECT_EQ(end.matches[3], 6u);
  EXPECT_EQ(end.errors[3], 4u);
}

TEST(SingleBestSweep, NeverRescoresTheCurrentMatch) {
  // Pixel 3's current match is B's pixel 1 at true distance 4, stored with error 10; pixel 1 comes
  // up as a candidate (in the bucket) but is skipped, so the stored error stays 10.
  SweepCase c = OneKernelCase(2, 2, 3, {9, 2, 9, 9, 9, 9, 9, 9, 9}, 2);
  c.downward = true;
  const Mapping end = RunCore(c, {{7, 7, 7, 10}, {0, 0, 0, 1}});
  EXPECT_EQ(end.matches[3], 1u);
  EXPECT_EQ(end.errors[3], 10u);
}

TEST(SingleBestSweep, StoresTheSumOfAllTerms) {
  // One candidate (B's only bucket entry) against A's pixel 3, for K = 1, 2, 4: the stored error is
  // the full sum, and an error of one less than it keeps the old match.
  for (uint32_t kernels : {1u, 2u, 4u}) {
    SweepCase c = OneKernelCase(2, 2, 1, {}, 1);
    c.kernels = kernels;
    c.stack_a.assign(4 * kernels, 0);
    c.stack_b.clear();
    int64_t expected = 0;
    for (uint32_t k = 0; k < kernels; ++k) {
      c.stack_b.push_back(k + 2);
      expected += (k + 2) * (k + 2);
    }
    c.codes_b = {1};
    c.table_a = {4};  // pixel 3 is its own bucket-mate: its match is skipped
    c.downward = true;
    const uint32_t e = static_cast<uint32_t>(expected);
    // Neighbour matches 0 + 1 (first: 0 + M_B = 1, outside B) are skipped as well.
    Mapping end = RunCore(c, {{0, 0, 0, e}, {0, 0, 0, 7}});
    EXPECT_EQ(end.matches[3], 0u) << "K=" << kernels;
    EXPECT_EQ(end.errors[3], e);
    end = RunCore(c, {{0, 0, 0, e - 1}, {0, 0, 0, 7}});
    EXPECT_EQ(end.matches[3], 7u) << "K=" << kernels;
    EXPECT_EQ(end.errors[3], e - 1);
  }
}

TEST(SingleBestSweep, TermsWrapAsTheirElementWidthSays) {
  // int16: 32767 against -32768 gives 4294836225 per term; two in one pair wrap to 4294705154.
  // int32: a difference of 65536 squares to 0 modulo 2^32.
  struct Case {
    bool wide;
    std::vector<int64_t> a, b;
    uint32_t distance;
  } cases[] = {{false, {32767}, {-32768}, 4294836225u},
               {false, {0, 32767, 32767}, {0, -32768, -32768}, 4294705154u},
               {true, {65536, 0}, {0, 65536}, 0},
               {true, {3, 70000}, {1, 4464}, 4}};
  for (const Case& t : cases) {
    const uint32_t kernels = static_cast<uint32_t>(t.a.size());
    SweepCase c = OneKernelCase(2, 2, 1, {}, 1);
    c.wide = t.wide;
    c.kernels = kernels;
    c.stack_a.clear();
    for (int p = 0; p < 4; ++p) c.stack_a.insert(c.stack_a.end(), t.a.begin(), t.a.end());
    c.stack_b = t.b;
    c.codes_b = {1};
    c.table_a = {4};
    c.downward = true;
    const Mapping end = RunCore(c, {{0, 0, 0, 4294967295u}, {0, 0, 0, 7}});
    EXPECT_EQ(end.matches[3], 0u);
    EXPECT_EQ(end.errors[3], t.distance);
  }
}

TEST(SingleBestSweep, ImageAgainstItselfEndsAtTheIdentity) {
  std::mt19937 rng(5);
  for (int i = 0; i < 20; ++i) {
    CaseShape shape;
    shape.kernels = 3;
    shape.hash_slots = i % 3;
    SweepCase c = testing::RandomCase(rng, shape);
    // Distinct vectors: pixel p holds (p, p / 7, -p).
    const uint32_t pixels = c.rows * c.cols;
    c.stack_a.clear();
    for (uint32_t p = 0; p < pixels; ++p) {
      c.stack_a.insert(c.stack_a.end(), {p, p / 7, -static_cast<int64_t>(p)});
    }
    c.stack_b = c.stack_a;
    c.rows_b = c.rows;
    c.codes_b = c.codes_a;
    c.table_a = testing::RandomCase(rng, shape).table_a;  // any valid pixels of A
    for (auto& slot : c.table_a) slot = (slot - 1) % pixels + 1;
    c.table_b = c.table_a;
    c.downward = true;
    Mapping start{std::vector<uint32_t>(pixels, 4294967295u), std::vector<uint32_t>(pixels, 0)};
    for (uint32_t p = 0; p < pixels; ++p) {
      if (p < c.rows || p % c.rows == 0) {
        start.errors[p] = 0;
        start.matches[p] = p;
      }
    }
    const Mapping end = RunCore(c, start);
    for (uint32_t p = 0; p < pixels; ++p) {
      EXPECT_EQ(end.matches[p], p);
      EXPECT_EQ(end.errors[p], 0u);
    }
  }
}

TEST(SingleBestSweep, NoKernelsDoesNothing) {
  SweepCase c = OneKernelCase(3, 3, 3, {}, 1);
  c.kernels = 0;
  c.stack_a.clear();
  const Mapping start{std::vector<uint32_t>(9, 4294967295u), std::vector<uint32_t>(9, 2)};
  const Mapping end = RunCore(c, start);
  EXPECT_EQ(end.errors, start.errors);
  EXPECT_EQ(end.matches, start.matches);
}

TEST(SingleBestSweep, UnguardedSweepAgreesOnValidInputs) {
  // Valid means every move stays inside B: B gets spare columns beyond the pixels that tables and
  // starting matches name, enough for every move of three downward sweeps.
  std::mt19937 rng(6);
  for (int i = 0; i < 60; ++i) {
    CaseShape shape;
    shape.kernels = 1 + i % 5;
    shape.hash_slots = i % 3;
    SweepCase c = testing::RandomCase(rng, shape);
    const uint32_t named = testing::PixelsOfB(c);
    const uint32_t spare = c.rows_b * 3 * c.cols * (2 + c.rows);
    for (uint32_t q = 0; q < spare; ++q) {
      c.codes_b.push_back(1 + q % c.buckets);
      for (uint32_t k = 0; k < c.kernels; ++k) c.stack_b.push_back((q * 7 + k) % 13 - 6);
    }
    c.downward = true;
    const size_t pixels = c.rows * c.cols;
    Mapping guarded{testing::RandomErrors(rng, pixels),
                    testing::RandomMatches(rng, pixels, named, 0)};
    Mapping unguarded = guarded;
    TypedCase<int16_t> typed(c);
    for (int sweep = 0; sweep < 3; ++sweep) {
      SingleBestSweep(typed.inputs, guarded.errors.data(), guarded.matches.data());
      UnguardedSingleBestSweep(typed.inputs, unguarded.errors.data(), unguarded.matches.data());
      ASSERT_EQ(guarded.matches, unguarded.matches);
      ASSERT_EQ(guarded.errors, unguarded.errors);
    }
  }
}

}  // namespace
}  // namespace gck
