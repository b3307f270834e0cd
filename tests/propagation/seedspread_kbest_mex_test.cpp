// The four k-best deliverables called through their built files.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "bridge/build_flavour.h"
#include "host/loader.h"
#include "tests/propagation/kbest_problems.h"

namespace gck {
namespace {

using host::Array;
using host::CallResult;
using host::MexFile;
using testing::KBestLists;
using testing::ProblemMaker;
using testing::ProblemShape;

const char kUsage[] =
    "Usage: seedspread_i16(nBestErrorsImg32u, nBestMapping32u, nCurrFiltImgs_A16s, "
    "nCurrFiltImgs_B16s, nCodebookImgA32u, nCodebookImgB32u, nHashTableImgB32u, nHashsNoe16u, "
    "nSequencyOrder16u, nSequencyLevels16u, bDownwardFlag, kOfKNN));\n";
const char kClassMessage[] =
    "Input best errors image must be a uint32 matrix, input linear mapping image must be a uint32 "
    "matrix, input and target GCK projections images must be int16 matrices inside a cell array, "
    "input and target codebook images must be a uint32 matrices, Hash table of target image must "
    "be a uint32 matrix, number of indices in each hash entry must be a uint8 scalar, sequency "
    "order of GCK kernels must be a uint8 vector, sequency levels of GCK kernels must be a uint8 "
    "vector and downwarads or upwards iteration must be a boolean!";
const char kStackMessage[] =
    "Number of projection images for input and target images must be the same!";
const char kColumnMessage[] =
    "Input sequency order of GCK kernels and sequency levels of GCK kernels must be column "
    "vectors!";

enum Position {
  kErrors,
  kMatches,
  kStackA,
  kStackB,
  kCodesA,
  kCodesB,
  kTableA,
  kTableB,
  kHashes,
  kOrder,
  kLevels,
  kDownward,
  kListLength
};

// The thirteen inputs of one call; the test holds them, so it sees E and Map rewritten.
template <class T>
struct KBestCall {
  KBestCall(const reference::KBestProblem<T>& pr, uint32_t k, const KBestLists& lists) {
    const size_t pixels = pr.rows * pr.cols, pixels_b = pr.codes_b.size();
    const size_t columns = pr.table_a.size() / pr.buckets;
    inputs.push_back(Array::Of<uint32_t>({k, pr.rows, pr.cols}, lists.errors));
    inputs.push_back(Array::Matrix<uint32_t>(k, pixels, lists.matches));
    inputs.push_back(Array::Of<T>({pr.kernels, pr.rows, pr.cols}, pr.stack_a));
    inputs.push_back(Array::Matrix<T>(pr.kernels, pixels_b, pr.stack_b));
    inputs.push_back(Array::Matrix<uint32_t>(pr.rows, pr.cols, pr.codes_a));
    inputs.push_back(Array::Matrix<uint32_t>(pr.rows_b, pixels_b / pr.rows_b, pr.codes_b));
    inputs.push_back(Array::Matrix<uint32_t>(pr.buckets, columns, pr.table_a));
    inputs.push_back(Array::Matrix<uint32_t>(pr.buckets, columns, pr.table_b));
    inputs.push_back(Array::Scalar<uint16_t>(static_cast<uint16_t>(pr.hashes)));
    inputs.push_back(Array::Matrix<uint16_t>(3, 1, {4, 1, 2}));
    inputs.push_back(Array::Matrix<uint16_t>(3, 1, {0, 1, 1}));
    inputs.push_back(Array::Logical(pr.downward));
    inputs.push_back(Array::Scalar<uint32_t>(k));
  }

  CallResult Run(const MexFile& file, int nlhs = 0) const {
    std::vector<const Array*> pointers;
    for (const Array& input : inputs) pointers.push_back(&input);
    return file.Call(nlhs, pointers);
  }
  KBestLists Lists() const {
    return {inputs[kErrors].Values<uint32_t>(), inputs[kMatches].Values<uint32_t>()};
  }

  std::vector<Array> inputs;
};

struct Deliverable {
  std::string name;
  bool wide;
  bool self;
};

std::string NameOf(const ::testing::TestParamInfo<Deliverable>& info) { return info.param.name; }
void PrintTo(const Deliverable& deliverable, std::ostream* out) { *out << deliverable.name; }

class KBestFile : public ::testing::TestWithParam<Deliverable> {
 protected:
  const Deliverable& deliverable() const { return GetParam(); }
  MexFile file_{GetParam().name};

  // Runs `sweeps` calls of alternating direction and the reference beside them; the Linux build
  // offers accepting pixels back, the Windows build does not.
  template <class T>
  void CompareWithReference(unsigned seed, uint32_t k, uint32_t hashes, int sweeps) {
    ProblemMaker<T> maker(seed);
    ProblemShape shape;
    shape.k = k;
    shape.hashes = hashes;
    shape.self = deliverable().self;
    shape.wide_values = seed % 2 == 0;
    reference::KBestProblem<T> pr = maker.Problem(shape);
    KBestLists expected =
        maker.Lists(pr.rows * pr.cols, static_cast<uint32_t>(pr.codes_b.size()), k, false);
    KBestLists lists = expected;
    for (int sweep = 0; sweep < sweeps; ++sweep) {
      KBestCall<T> call(pr, k, lists);
      const CallResult result = call.Run(file_);
      ASSERT_TRUE(result.ok()) << result.error;
      EXPECT_TRUE(result.outputs.empty() || result.outputs[0].raw() == nullptr);
      if (deliverable().self) {
        reference::KBestSelfSweepReference(pr, k, !kWindowsBuild, expected.errors,
                                           expected.matches);
      } else {
        reference::KBestSweepReference(pr, k, expected.errors, expected.matches);
      }
      lists = call.Lists();
      ASSERT_TRUE(lists == expected) << "seed " << seed << " k " << k << " sweep " << sweep;
      pr.downward = !pr.downward;
    }
  }

  template <class T>
  KBestCall<T> SmallCall(unsigned seed, uint32_t k = 2) {
    ProblemMaker<T> maker(seed);
    ProblemShape shape;
    shape.k = k;
    shape.self = deliverable().self;
    reference::KBestProblem<T> pr = maker.Problem(shape);
    pr.rows = pr.cols = 4;
    pr.rows_b = 4;
    pr = Resized(pr);
    return KBestCall<T>(pr, k, maker.Lists(16, 16, k, false));
  }

  // A random valid problem with lists of k entries, as a call and as the problem itself.
  template <class Body>
  void WithProblem(unsigned seed, uint32_t k, Body body) {
    ProblemShape shape;
    shape.k = k;
    shape.hashes = seed % 3;
    shape.self = deliverable().self;
    if (deliverable().wide) {
      RunProblem<int32_t>(seed, shape, body);
    } else {
      RunProblem<int16_t>(seed, shape, body);
    }
  }
  template <class T, class Body>
  void RunProblem(unsigned seed, const ProblemShape& shape, Body body) {
    ProblemMaker<T> maker(seed);
    const reference::KBestProblem<T> pr = maker.Problem(shape);
    KBestCall<T> call(pr, shape.k,
                      maker.Lists(pr.rows * pr.cols, static_cast<uint32_t>(pr.codes_b.size()),
                                  shape.k, false));
    body(call, pr);
  }

  // Any call of either element type: the test bodies below do not depend on it.
  template <class Body>
  void WithCall(unsigned seed, Body body) {
    if (deliverable().wide) {
      KBestCall<int32_t> call = SmallCall<int32_t>(seed);
      body(call);
    } else {
      KBestCall<int16_t> call = SmallCall<int16_t>(seed);
      body(call);
    }
  }

 private:
  // A 4 x 4 problem (into a 4 x 4 B) made from a random one's parameters.
  template <class T>
  static reference::KBestProblem<T> Resized(reference::KBestProblem<T> pr) {
    pr.stack_a.assign(16 * pr.kernels, 0);
    for (size_t i = 0; i < pr.stack_a.size(); ++i) pr.stack_a[i] = static_cast<T>(i * 7 % 23);
    pr.stack_b = pr.stack_a;
    pr.codes_a.assign(16, 1);
    pr.codes_b = pr.codes_a;
    for (uint32_t& slot : pr.table_a) slot = 1 + slot % 16;
    for (uint32_t& slot : pr.table_b) slot = 1 + slot % 16;
    return pr;
  }
};

TEST_P(KBestFile, SweepsMatchTheReference) {
  unsigned seed = 40;
  for (uint32_t k : {1u, 2u, 3u, 5u}) {
    for (uint32_t hashes : {0u, 1u, 2u}) {
      for (int round = 0; round < 6; ++round) {
        if (deliverable().wide) {
          CompareWithReference<int32_t>(++seed, k, hashes, 3);
        } else {
          CompareWithReference<int16_t>(++seed, k, hashes, 3);
        }
        if (HasFatalFailure()) return;
      }
    }
  }
}

// k = 1 into B gives what the single-best deliverable of the same class gives.
TEST_P(KBestFile, OneEntryListsFollowTheSingleBestDeliverable) {
  if (deliverable().self) GTEST_SKIP() << "the single-best deliverables match into another image";
  const MexFile single(deliverable().wide ? "seedspread_i32_proj" : "seedspread_i16_proj");
  for (unsigned seed = 70; seed < 90; ++seed) {
    WithProblem(seed, 1, [&](auto& call, const auto& pr) {
      auto twelve = call;
      twelve.inputs.pop_back();
      twelve.inputs[kErrors] = Array::Matrix<uint32_t>(
          pr.rows, pr.cols, call.inputs[kErrors].template Values<uint32_t>());
      twelve.inputs[kMatches] = Array::Matrix<uint32_t>(
          pr.rows, pr.cols, call.inputs[kMatches].template Values<uint32_t>());
      ASSERT_TRUE(call.Run(file_).ok());
      ASSERT_TRUE(twelve.Run(single).ok());
      EXPECT_TRUE(call.Lists() == twelve.Lists()) << "seed " << seed;
    });
  }
}

TEST_P(KBestFile, CountsAndClassesAreCheckedFirst) {
  WithCall(1, [&](auto& call) {
    const KBestLists before = call.Lists();
    EXPECT_EQ(call.Run(file_, 1).error, kUsage);
    std::vector<const Array*> twelve;
    for (int i = 0; i < 12; ++i) twelve.push_back(&call.inputs[i]);
    EXPECT_EQ(file_.Call(0, twelve).error, kUsage);
    auto with = [&](int position, Array replacement) {
      auto changed = call;
      changed.inputs[position] = std::move(replacement);
      return changed.Run(file_).error;
    };
    const Array other_stack =
        deliverable().wide ? Array::Matrix<int16_t>(1, 1, {0}) : Array::Matrix<int32_t>(1, 1, {0});
    EXPECT_EQ(with(kStackB, other_stack), kClassMessage);
    EXPECT_EQ(with(kHashes, Array::Scalar<uint8_t>(1)), kClassMessage);
    EXPECT_EQ(with(kOrder, Array::Scalar<uint8_t>(1)), kClassMessage);
    EXPECT_EQ(with(kDownward, Array::Scalar<uint8_t>(1)), kClassMessage);
    EXPECT_EQ(with(kListLength, Array::Scalar<uint16_t>(2)), kClassMessage);
    EXPECT_EQ(with(kListLength, Array::Scalar<double>(2)), kClassMessage);
    // The class check comes before the column-vector check.
    auto both = call;
    both.inputs[kOrder] = Array::Matrix<uint16_t>(1, 2, {1, 2});
    both.inputs[kListLength] = Array::Scalar<int32_t>(2);
    EXPECT_EQ(both.Run(file_).error, kClassMessage);
    EXPECT_TRUE(call.Lists() == before);
  });
}

TEST_P(KBestFile, StackHeightsAndSequencyShapesAreChecked) {
  WithCall(2, [&](auto& call) {
    const KBestLists before = call.Lists();
    auto taller = call;
    const uint32_t kernels = static_cast<uint32_t>(call.inputs[kStackA].rows());
    std::vector<int32_t> values((kernels + 1) * 16, 0);
    taller.inputs[kStackB] =
        deliverable().wide
            ? Array::Matrix<int32_t>(kernels + 1, 16, values)
            : Array::Matrix<int16_t>(kernels + 1, 16, std::vector<int16_t>(values.size(), 0));
    EXPECT_EQ(taller.Run(file_).error, kStackMessage);
    for (int position : {kOrder, kLevels}) {
      auto row = call;
      row.inputs[position] = Array::Matrix<uint16_t>(1, 2, {1, 2});
      EXPECT_EQ(row.Run(file_).error, kColumnMessage);
      EXPECT_TRUE(row.Lists() == before);
    }
    // Empty arrays and column vectors of any length pass and change nothing in the result.
    auto reference = call;
    ASSERT_TRUE(reference.Run(file_).ok());
    auto loose = call;
    loose.inputs[kOrder] = Array(mxUINT16_CLASS, {0, 0});
    loose.inputs[kLevels] = Array::Matrix<uint16_t>(7, 1, {9, 9, 9, 9, 9, 9, 9});
    ASSERT_TRUE(loose.Run(file_).ok());
    EXPECT_TRUE(loose.Lists() == reference.Lists());
  });
}

TEST_P(KBestFile, ListsTooShortForKAreRefusedBeforeAnythingIsWritten) {
  WithCall(3, [&](auto& call) {
    for (int position : {kErrors, kMatches}) {
      auto shorter = call;
      std::vector<uint32_t> values = call.inputs[position].template Values<uint32_t>();
      values.pop_back();
      shorter.inputs[position] = Array::Matrix<uint32_t>(1, values.size(), values);
      const KBestLists before = shorter.Lists();
      const CallResult result = shorter.Run(file_);
      EXPECT_FALSE(result.ok());
      EXPECT_FALSE(result.error.empty());
      EXPECT_TRUE(shorter.Lists() == before);
    }
    // k = 3 with lists of two entries per pixel.
    auto longer_k = call;
    longer_k.inputs[kListLength] = Array::Scalar<uint32_t>(3);
    EXPECT_FALSE(longer_k.Run(file_).ok());
    EXPECT_TRUE(longer_k.Lists() == call.Lists());
  });
}

TEST_P(KBestFile, NoListMeansNothingToDo) {
  WithCall(4, [&](auto& call) {
    for (uint32_t k : {0u, 2147483648u, 4294967295u}) {
      auto none = call;
      none.inputs[kListLength] = Array::Scalar<uint32_t>(k);
      const CallResult result = none.Run(file_);
      EXPECT_TRUE(result.ok()) << k << ": " << result.error;
      EXPECT_TRUE(none.Lists() == call.Lists()) << k;
    }
  });
}

TEST_P(KBestFile, EmptyScalarsAreRefused) {
  WithCall(5, [&](auto& call) {
    for (int position : {kHashes, kDownward, kListLength}) {
      auto empty = call;
      empty.inputs[position] = Array(call.inputs[position].class_id(), {0, 1});
      EXPECT_FALSE(empty.Run(file_).ok()) << position;
      EXPECT_TRUE(empty.Lists() == call.Lists());
    }
  });
}

// Within one image B must be A: codes of A's shape and a projection column for every pixel.
TEST_P(KBestFile, WithinOneImageBMustBeA) {
  WithCall(6, [&](auto& call) {
    auto other_rows = call;
    other_rows.inputs[kCodesB] =
        Array::Matrix<uint32_t>(8, 2, call.inputs[kCodesB].template Values<uint32_t>());
    auto fewer_pixels = call;
    std::vector<uint32_t> codes = call.inputs[kCodesB].template Values<uint32_t>();
    codes.resize(12);
    fewer_pixels.inputs[kCodesB] = Array::Matrix<uint32_t>(4, 3, codes);
    for (auto* changed : {&other_rows, &fewer_pixels}) {
      const KBestLists before = changed->Lists();
      const CallResult result = changed->Run(file_);
      EXPECT_EQ(result.ok(), !deliverable().self) << result.error;
      if (deliverable().self) {
        EXPECT_TRUE(changed->Lists() == before);
      }
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Deliverables, KBestFile,
                         ::testing::Values(Deliverable{"seedspread_i16_kbest", false, false},
                                           Deliverable{"seedspread_i32_kbest", true, false},
                                           Deliverable{"seedspread_i16_kbest_self", false, true},
                                           Deliverable{"seedspread_i32_kbest_self", true, true}),
                         NameOf);

}  // namespace
}  // namespace gck
