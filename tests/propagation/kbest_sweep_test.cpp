// Both k-best sweep cores against the step-by-step references on random problems.
#include "propagation/kbest_sweep.h"
#include "propagation/single_best_sweep.h"

#include <gtest/gtest.h>

#include "propagation/kbest_self_sweep.h"
#include "tests/propagation/kbest_problems.h"

namespace gck {
namespace {

using testing::KBestLists;
using testing::ProblemMaker;
using testing::ProblemShape;

// Runs `sweeps` sweeps of alternating direction through the core and the reference and requires
// identical lists after each.
template <class T>
void CompareSweeps(unsigned seed, const ProblemShape& shape, bool reciprocal, int sweeps) {
  ProblemMaker<T> maker(seed);
  reference::KBestProblem<T> pr = maker.Problem(shape);
  const KBestLists start = maker.Lists(pr.rows * pr.cols, static_cast<uint32_t>(pr.codes_b.size()),
                                       shape.k, shape.hostile);
  KBestLists core = start, expected = start;
  for (int sweep = 0; sweep < sweeps; ++sweep) {
    const SweepInputs<T> in = testing::InputsOf(pr);
    if (shape.self) {
      KBestSelfSweep(in, shape.k, reciprocal, core.errors.data(), core.matches.data());
      reference::KBestSelfSweepReference(pr, shape.k, reciprocal, expected.errors,
                                         expected.matches);
    } else {
      KBestSweep(in, shape.k, core.errors.data(), core.matches.data());
      reference::KBestSweepReference(pr, shape.k, expected.errors, expected.matches);
    }
    ASSERT_TRUE(core == expected) << "seed " << seed << " sweep " << sweep << " k " << shape.k
                                  << " H " << shape.hashes << " " << pr.rows << "x" << pr.cols;
    pr.downward = !pr.downward;
  }
}

template <class T>
void CompareMany(bool self, bool reciprocal, bool hostile) {
  unsigned seed = 1000 * self + 100 * reciprocal + 10 * hostile + sizeof(T);
  for (uint32_t k : {1u, 2u, 3u, 5u}) {
    for (uint32_t hashes : {0u, 1u, 2u}) {
      for (bool wide : {false, true}) {
        for (int round = 0; round < 40; ++round) {
          ProblemShape shape;
          shape.k = k;
          shape.hashes = hashes;
          shape.self = self;
          shape.wide_values = wide;
          shape.hostile = hostile;
          CompareSweeps<T>(++seed, shape, reciprocal, 3);
          if (::testing::Test::HasFatalFailure()) return;
        }
      }
    }
  }
}

TEST(KBestSweep, MatchesReference) {
  CompareMany<int16_t>(false, false, false);
  CompareMany<int32_t>(false, false, false);
}

TEST(KBestSweep, SkipsSlotsCodesAndEntriesOutsideTheImages) {
  CompareMany<int16_t>(false, false, true);
  CompareMany<int32_t>(false, false, true);
}

TEST(KBestSelfSweep, MatchesReferenceWithAndWithoutReciprocalInsertion) {
  for (bool reciprocal : {true, false}) {
    CompareMany<int16_t>(true, reciprocal, false);
    CompareMany<int32_t>(true, reciprocal, false);
  }
}

TEST(KBestSelfSweep, SkipsSlotsCodesAndEntriesOutsideTheImage) {
  for (bool reciprocal : {true, false}) {
    CompareMany<int16_t>(true, reciprocal, true);
    CompareMany<int32_t>(true, reciprocal, true);
  }
}

TEST(KBestSweep, ZeroKOrZeroKernelsDoesNothing) {
  ProblemMaker<int16_t> maker(5);
  ProblemShape shape;
  shape.self = true;
  reference::KBestProblem<int16_t> pr = maker.Problem(shape);
  const KBestLists start = maker.Lists(pr.rows * pr.cols, pr.rows * pr.cols, 1, false);
  KBestLists lists = start;
  SweepInputs<int16_t> in = testing::InputsOf(pr);
  KBestSweep(in, 0, lists.errors.data(), lists.matches.data());
  KBestSelfSweep(in, 0, true, lists.errors.data(), lists.matches.data());
  in.kernels = 0;
  KBestSweep(in, 1, lists.errors.data(), lists.matches.data());
  KBestSelfSweep(in, 1, true, lists.errors.data(), lists.matches.data());
  EXPECT_TRUE(lists == start);
}

// One-entry lists are the single-best mapping: both sweeps agree whenever the starting matches lie
// in B.
template <class T>
void CompareWithSingleBest(unsigned first_seed) {
  for (unsigned seed = first_seed; seed < first_seed + 150; ++seed) {
    ProblemMaker<T> maker(seed);
    ProblemShape shape;
    shape.k = 1;
    shape.hashes = seed % 3;
    shape.wide_values = seed % 2 == 0;
    reference::KBestProblem<T> pr = maker.Problem(shape);
    KBestLists kbest = maker.Lists(pr.rows * pr.cols, static_cast<uint32_t>(pr.codes_b.size()), 1,
                                   false);
    KBestLists single = kbest;
    for (int sweep = 0; sweep < 3; ++sweep) {
      KBestSweep(testing::InputsOf(pr), 1, kbest.errors.data(), kbest.matches.data());
      SingleBestSweep(testing::InputsOf(pr), single.errors.data(), single.matches.data());
      ASSERT_TRUE(kbest == single) << "seed " << seed << " sweep " << sweep;
      pr.downward = !pr.downward;
    }
  }
}

TEST(KBestSweep, OneEntryListsFollowTheSingleBestSweep) {
  CompareWithSingleBest<int16_t>(1);
  CompareWithSingleBest<int32_t>(1);
}

// Stacks whose values fit in int16 give the int16 and int32 sweeps the same lists.
TEST(KBestSweep, ElementTypesAgreeOnNarrowValues) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    ProblemMaker<int16_t> maker(seed);
    ProblemShape shape;
    shape.k = 1 + seed % 4;
    shape.hashes = seed % 3;
    shape.self = seed % 2 == 0;
    shape.wide_values = true;
    const reference::KBestProblem<int16_t> narrow = maker.Problem(shape);
    reference::KBestProblem<int32_t> wide;
    wide.stack_a.assign(narrow.stack_a.begin(), narrow.stack_a.end());
    wide.stack_b.assign(narrow.stack_b.begin(), narrow.stack_b.end());
    wide.codes_a = narrow.codes_a, wide.codes_b = narrow.codes_b;
    wide.table_a = narrow.table_a, wide.table_b = narrow.table_b;
    wide.rows = narrow.rows, wide.cols = narrow.cols, wide.rows_b = narrow.rows_b;
    wide.kernels = narrow.kernels, wide.buckets = narrow.buckets, wide.hashes = narrow.hashes;
    wide.downward = narrow.downward;
    const KBestLists start = maker.Lists(
        narrow.rows * narrow.cols, static_cast<uint32_t>(narrow.codes_b.size()), shape.k, false);
    KBestLists from16 = start, from32 = start;
    if (shape.self) {
      KBestSelfSweep(testing::InputsOf(narrow), shape.k, true, from16.errors.data(),
                     from16.matches.data());
      KBestSelfSweep(testing::InputsOf(wide), shape.k, true, from32.errors.data(),
                     from32.matches.data());
    } else {
      KBestSweep(testing::InputsOf(narrow), shape.k, from16.errors.data(), from16.matches.data());
      KBestSweep(testing::InputsOf(wide), shape.k, from32.errors.data(), from32.matches.data());
    }
    ASSERT_TRUE(from16 == from32) << "seed " << seed;
  }
}

}  // namespace
}  // namespace gck
