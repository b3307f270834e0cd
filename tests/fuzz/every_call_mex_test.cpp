// Every built deliverable through its file: its valid calls run, and calls made from them by
// breaking one thing or a few (a class, a dimension, a value, the counts, an alias) keep the rules
// of CallAndCheck: each returns, or ends with a message and leaves its arrays as they were. The
// findings of the fuzz targets (fuzz/regressions/<family>/) are replayed the same way.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "bridge/build_flavour.h"
#include "fuzz/call_check.h"
#include "fuzz/valid_calls.h"

namespace gck::fuzz {
namespace {

using host::Array;

std::vector<std::string> BuiltDeliverables() {
  std::vector<std::string> names;
  const std::string list = GCK_DELIVERABLE_NAMES;
  for (size_t begin = 0; begin < list.size();) {
    size_t end = list.find(',', begin);
    if (end == std::string::npos) end = list.size();
    names.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  return names;
}

bool Has(const std::string& name, const char* part) { return name.find(part) != std::string::npos; }
bool WritesInPlace(const std::string& name) {
  return name == "bucketfill" || Has(name, "seedspread_");
}
// The gateways that examine no class take any array of the width they read.
bool ChecksClasses(const std::string& name) {
  return !Has(name, "bucketmap_") && name != "bucketfill" && name != "hash";
}

const mxClassID kClasses[] = {mxLOGICAL_CLASS, mxCHAR_CLASS,   mxDOUBLE_CLASS, mxSINGLE_CLASS,
                              mxINT8_CLASS,    mxUINT8_CLASS,  mxINT16_CLASS,  mxUINT16_CLASS,
                              mxINT32_CLASS,   mxUINT32_CLASS, mxINT64_CLASS,  mxUINT64_CLASS,
                              mxCELL_CLASS};

// An array of another class or shape that keeps as many of the old bytes as fit.
Array Reshaped(const Array& old, mxClassID class_id, const std::vector<size_t>& dims) {
  Array array(class_id, dims);
  const size_t bytes = std::min(array.bytes(), old.bytes());
  if (bytes > 0) std::memcpy(mxGetData(array.raw()), mxGetData(old.raw()), bytes);
  return array;
}

// One element set to a boundary value of its class (NaN, infinities and huge values for floats).
void SetBoundaryValue(Array& array, std::mt19937& rng) {
  if (array.bytes() == 0) return;
  const size_t width = host::ElementBytes(array.class_id());
  uint8_t* element = static_cast<uint8_t*>(mxGetData(array.raw())) + width * (rng() % array.count());
  if (array.class_id() == mxDOUBLE_CLASS || array.class_id() == mxSINGLE_CLASS) {
    const double values[] = {0, 1, -1, 0.5, 31, 32, 65535, 65536, 4294967295.0, 4294967296.0, 1e300,
                             -1e300, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    const double value = values[rng() % std::size(values)];
    if (width == 8) {
      std::memcpy(element, &value, 8);
    } else {
      const float narrow = static_cast<float>(value);
      std::memcpy(element, &narrow, 4);
    }
    return;
  }
  const uint64_t values[] = {0,     1,     2,          UINT64_MAX, 32767,      0xFFFF8000u,
                             65535, 65536, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, uint64_t{1} << 32};
  const uint64_t value = values[rng() % std::size(values)];
  std::memcpy(element, &value, width);  // little-endian: the low bytes of the value
}

void BreakOneThing(CallSpec& call, std::mt19937& rng) {
  const size_t inputs = call.inputs.size();
  const int pick = inputs == 0 ? 5 : static_cast<int>(rng() % 7);
  const int input = inputs == 0 ? 0 : static_cast<int>(rng() % inputs);
  // Changes go to a fresh array, so that an array shared by two inputs is not changed for both.
  auto fresh = [&](Array array) {
    call.arrays.push_back(std::move(array));
    call.inputs[input] = static_cast<int>(call.arrays.size()) - 1;
  };
  const Array& old = inputs == 0 ? call.arrays.front() : call.arrays[call.inputs[input]];
  switch (pick) {
    case 0:
      fresh(Reshaped(old, kClasses[rng() % std::size(kClasses)], old.dims()));
      break;
    case 1: {
      std::vector<size_t> dims = old.dims();
      size_t& dim = dims[rng() % dims.size()];
      const int how = static_cast<int>(rng() % 4);
      dim = how == 0 ? 0 : how == 1 ? dim + 1 : how == 2 ? (dim > 0 ? dim - 1 : 1) : 1;
      fresh(Reshaped(old, old.class_id(), dims));
      break;
    }
    case 2:
    case 3: {
      Array changed = old;
      SetBoundaryValue(changed, rng);
      fresh(std::move(changed));
      break;
    }
    case 4:
      if (inputs > 0) call.inputs.pop_back();
      break;
    case 5:
      if (inputs < kMaxArguments) call.Add(Array::Scalar<double>(static_cast<double>(rng() % 3)));
      break;
    case 6:
      call.nlhs = static_cast<int>(rng() % 4);
      break;
  }
  if (inputs > 1 && rng() % 10 == 0) call.inputs[rng() % inputs] = call.inputs[rng() % inputs];
}

class EveryDeliverable : public ::testing::TestWithParam<std::string> {
 protected:
  host::MexFile file_{GetParam()};
  std::vector<CallSpec> valid_ = ValidCalls(GetParam(), kWindowsBuild);
};

TEST_P(EveryDeliverable, ValidCallsRun) {
  ASSERT_FALSE(valid_.empty()) << "no valid calls known for " << GetParam();
  for (size_t n = 0; n < valid_.size(); ++n) {
    const CheckedCall checked = CallAndCheck(file_, valid_[n]);
    ASSERT_TRUE(checked.result.ok()) << "call " << n << ": " << checked.result.error;
    EXPECT_EQ(checked.result.outputs.size(), static_cast<size_t>(valid_[n].nlhs)) << "call " << n;
  }
}

TEST_P(EveryDeliverable, BrokenCallsKeepTheRules) {
  ASSERT_FALSE(valid_.empty());
  std::mt19937 rng(2024);
  int rejected = 0;
  for (int round = 0; round < 600; ++round) {
    CallSpec call = valid_[round % valid_.size()];
    const int changes = 1 + static_cast<int>(rng() % 3);
    for (int change = 0; change < changes; ++change) BreakOneThing(call, rng);
    const CheckedCall checked = CallAndCheck(file_, call);
    ASSERT_EQ(checked.violation, "") << "round " << round;
    rejected += checked.result.failed;
  }
  EXPECT_GT(rejected, 0);
}

// The in-place deliverables refuse a call with a missing argument, or (the validating ones) one of
// the wrong class, and then leave the table, E and Map byte for byte as they were.
TEST_P(EveryDeliverable, InPlaceArraysSurviveRefusedCalls) {
  if (!WritesInPlace(GetParam())) GTEST_SKIP() << "writes no input";
  for (const CallSpec& valid : valid_) {
    std::vector<CallSpec> refused;
    CallSpec short_call = valid;
    short_call.inputs.pop_back();
    refused.push_back(short_call);
    if (Has(GetParam(), "seedspread_")) {
      for (size_t input = 2; input < valid.inputs.size(); ++input) {
        CallSpec wrong_class = valid;
        wrong_class.Add(Reshaped(valid.arrays[valid.inputs[input]], mxINT8_CLASS, {1, 1}));
        wrong_class.inputs[input] = wrong_class.inputs.back();
        wrong_class.inputs.pop_back();
        refused.push_back(wrong_class);
      }
      CallSpec with_output = valid;
      with_output.nlhs = 1;
      refused.push_back(with_output);
    }
    for (const CallSpec& call : refused) {
      const CheckedCall checked = CallAndCheck(file_, call);
      EXPECT_TRUE(checked.result.failed);
      EXPECT_EQ(checked.violation, "");
    }
  }
}

// Each valid call with one required input at a time replaced by `substitute(old)` (no replacement
// when it gives an empty array) is refused with `message` (%d the input's position), arrays
// untouched. The optional debug flag is read only through the host's scalar accessor, which reads
// any array right, so it is left as it is. Returns how many calls were made.
template <class Substitute>
int ExpectEachInputRefused(const host::MexFile& file, const std::vector<CallSpec>& valid,
                           Substitute substitute, const char* message) {
  size_t required = SIZE_MAX;
  for (const CallSpec& call : valid) required = std::min(required, call.inputs.size());
  int tried = 0;
  for (const CallSpec& call : valid) {
    for (size_t input = 0; input < required; ++input) {
      Array replacement = substitute(call.arrays[call.inputs[input]]);
      if (replacement.raw() == nullptr) continue;
      CallSpec changed = call;
      changed.Add(std::move(replacement));
      changed.inputs[input] = changed.inputs.back();
      changed.inputs.pop_back();
      const CheckedCall checked = CallAndCheck(file, changed);
      char expected[128];
      std::snprintf(expected, sizeof expected, message, static_cast<int>(input) + 1);
      EXPECT_EQ(checked.result.error, expected);
      EXPECT_EQ(checked.violation, "");
      ++tried;
    }
  }
  return tried;
}

// A sparse array stores only its nonzeros: an all-zero sparse double of an input's shape stores
// one element, which hash(sparse(5000, 5000), 1, 16) read as 25 million keys. A validating gateway
// is only given one where it takes doubles, which none does.
TEST_P(EveryDeliverable, SparseArraysAreRefused) {
  if (ChecksClasses(GetParam())) GTEST_SKIP() << "takes no double input";
  EXPECT_GT(ExpectEachInputRefused(file_, valid_, [](const Array& old) {
    return Array::Sparse<double>(old.rows(), old.cols(), {});
  }, "Input %d is sparse; pass a full array (full(x))."), 0);
}

// sparse(logical([0 1])) stores its one nonzero first: read as a flag it was true.
TEST_P(EveryDeliverable, SparseLogicalFlagsAreRefused) {
  ExpectEachInputRefused(file_, valid_, [this](const Array& old) {
    const bool wanted = old.class_id() == mxLOGICAL_CLASS || !ChecksClasses(GetParam());
    return wanted ? Array::Sparse<bool>(1, 2, {true}) : Array();
  }, "Input %d is sparse; pass a full array (full(x)).");
}

// A complex copy of every numeric input, its imaginary parts all 1, which were ignored.
TEST_P(EveryDeliverable, ComplexArraysAreRefused) {
  EXPECT_GT(ExpectEachInputRefused(file_, valid_, [](const Array& old) {
    if (old.class_id() < mxDOUBLE_CLASS || old.class_id() > mxUINT64_CLASS) return Array();
    Array complex(old.class_id(), old.dims(), host::Storage{false, true, 0});
    if (old.bytes() > 0) std::memcpy(mxGetData(complex.raw()), mxGetData(old.raw()), old.bytes());
    std::memset(host::ImaginaryData(complex.raw()), 1, complex.bytes());
    return complex;
  }, "Input %d is complex; pass a real array."), 0);
}

// An array written in place given again as another input of its class, as after `Map = E`: the
// call is refused before anything is written, naming the two inputs.
TEST_P(EveryDeliverable, InPlaceArraysSharingMemoryAreRefused) {
  if (!WritesInPlace(GetParam())) GTEST_SKIP() << "writes no input";
  const int written = GetParam() == "bucketfill" ? 1 : 2;
  int tried = 0;  // the valid calls' written arrays are not empty, so they have bytes to share
  for (const CallSpec& valid : valid_) {
    const int read = GetParam() == "bucketfill" ? 2 : static_cast<int>(valid.inputs.size());
    for (int w = 0; w < written; ++w) {
      const Array& shared = valid.arrays[valid.inputs[w]];
      for (int other = 0; other < read; ++other) {
        if (other == w || valid.arrays[valid.inputs[other]].class_id() != shared.class_id()) continue;
        CallSpec aliased = valid;
        aliased.inputs[other] = aliased.inputs[w];
        const CheckedCall checked = CallAndCheck(file_, aliased);
        EXPECT_TRUE(checked.result.failed) << w << " " << other;
        EXPECT_TRUE(Has(checked.result.error, " must not share memory.")) << checked.result.error;
        EXPECT_EQ(checked.violation, "");
        ++tried;
      }
    }
  }
  EXPECT_GT(tried, 0);
}

INSTANTIATE_TEST_SUITE_P(Built, EveryDeliverable, ::testing::ValuesIn(BuiltDeliverables()),
                         [](const auto& info) { return info.param; });

// Each file under fuzz/regressions/<family>/ is a fuzzer input that once broke a rule.
TEST(FuzzFindings, ReplayThroughTheBuiltFiles) {
  namespace fs = std::filesystem;
  const fs::path root = GCK_FUZZ_REGRESSIONS;
  if (!fs::is_directory(root)) GTEST_SKIP() << "no findings recorded";
  for (const fs::directory_entry& family : fs::directory_iterator(root)) {
    std::vector<std::unique_ptr<host::MexFile>> members;
    const std::string prefix = family.path().filename().string();
    for (const std::string& name : BuiltDeliverables()) {
      if (name == prefix || name.rfind(prefix + "_", 0) == 0) {
        members.push_back(std::make_unique<host::MexFile>(name));
      }
    }
    if (members.empty()) continue;
    for (const fs::directory_entry& finding : fs::directory_iterator(family.path())) {
      std::ifstream in(finding.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      const CallSpec call = DecodeCall(bytes.data(), bytes.size(), static_cast<int>(members.size()));
      EXPECT_EQ(CallAndCheck(*members[call.member], call).violation, "") << finding.path();
    }
  }
}

}  // namespace
}  // namespace gck::fuzz
