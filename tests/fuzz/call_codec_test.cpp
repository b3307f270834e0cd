// Calls as byte strings: valid calls survive the round trip, and any bytes at all decode to a call
// within the caps that the fuzz targets rely on.
#include "fuzz/call_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "fuzz/call_check.h"
#include "fuzz/valid_calls.h"

namespace gck::fuzz {
namespace {

using host::Array;

const char* const kDeliverables[] = {
    "projfirst_u8_i16",   "projfirst_u8_i32",    "projnext_i16_rgb",          "projnext_i32_rgb",
    "projnext_i16_luma",  "projnext_i32_luma",   "bucketmap_i16",             "bucketmap_i32",
    "bucketfill",         "hash",                "patcherr_rgb",              "patcherr_gray",
    "seedspread_i16_proj", "seedspread_i32_proj", "seedspread_i16_kbest",     "seedspread_i32_kbest",
    "seedspread_i16_kbest_self", "seedspread_i32_kbest_self"};

// Same member, outputs, inputs and values, and the same inputs share one array.
void ExpectSameCall(const CallSpec& a, const CallSpec& b) {
  EXPECT_EQ(a.member, b.member);
  EXPECT_EQ(a.nlhs, b.nlhs);
  const auto pa = a.InputPointers(), pb = b.InputPointers();
  ASSERT_EQ(pa.size(), pb.size());
  for (size_t i = 0; i < pa.size(); ++i) {
    EXPECT_TRUE(SameArray(*pa[i], *pb[i])) << "input " << i + 1;
    for (size_t j = 0; j < i; ++j) EXPECT_EQ(pa[i] == pa[j], pb[i] == pb[j]) << i << " " << j;
  }
}

CallSpec Decode(const std::vector<uint8_t>& bytes, int members = 1) {
  return DecodeCall(bytes.data(), bytes.size(), members);
}

TEST(CallCodec, ValidCallsOfEveryDeliverableSurviveTheRoundTrip) {
  for (const char* name : kDeliverables) {
    for (bool windows : {false, true}) {
      std::vector<CallSpec> calls = ValidCalls(name, windows);
      ASSERT_FALSE(calls.empty()) << name;
      for (CallSpec& call : calls) {
        call.member = 2;
        ExpectSameCall(call, Decode(EncodeCall(call), 3));
      }
    }
  }
}

TEST(CallCodec, AnyBytesDecodeWithinTheCaps) {
  std::mt19937 rng(17);
  int sparse = 0, complex = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes(rng() % 400);
    // Mostly small bytes, so that arrays of every kind and rank come out often.
    for (auto& byte : bytes) byte = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : rng() % 8);
    const CallSpec call = Decode(bytes, 3);
    EXPECT_LT(call.member, 3);
    EXPECT_LE(call.nlhs, kMaxArguments);
    EXPECT_LE(call.inputs.size(), static_cast<size_t>(kMaxArguments));
    size_t total = 0;
    for (const Array& array : call.arrays) {
      const host::Storage storage = array.storage();
      const size_t stored = storage.sparse ? storage.nonzeros : array.count();
      EXPECT_LE(stored, kMaxArrayElements);
      total += stored;
      sparse += storage.sparse;
      complex += storage.complex;
    }
    EXPECT_LE(total, kMaxCallElements);
    // A call decoded from bytes encodes back to bytes that decode to the same call.
    ExpectSameCall(call, Decode(EncodeCall(call), 3));
  }
  // The fuzz targets reach the deliverables' sparse and complex paths.
  EXPECT_GT(sparse, 0);
  EXPECT_GT(complex, 0);
}

TEST(CallCodec, LargeDimensionsMakeEmptyArraysAndMissingBytesReadAsZero) {
  // member 0, nlhs 1, two inputs: uint8 of 2^31 - 1 x 5, then int16 of rank 3, 2 x 3 x 0xF8 (256).
  const CallSpec call = Decode({0, 1, 2, 5, 0, 0xFC, 5, 6, 1, 2, 3, 0xF8});
  ASSERT_EQ(call.inputs.size(), 2u);
  EXPECT_EQ(call.arrays[0].dims(), (std::vector<size_t>{2147483647, 0}));
  EXPECT_EQ(call.arrays[1].dims(), (std::vector<size_t>{0, 3, 256}));
  // Nothing after the header: every input is an empty logical (kind 0, rank 2, 0 x 0).
  const CallSpec bare = Decode({0, 0, 3});
  ASSERT_EQ(bare.inputs.size(), 3u);
  for (const Array& array : bare.arrays) EXPECT_EQ(array.count(), 0u);
  // A 2 x 2 uint16 whose raw values end after one element: the rest is 0.
  const CallSpec short_values = Decode({0, 1, 1, 7, 0, 2, 2, 0, 0x34, 0x12});
  EXPECT_EQ(short_values.arrays[0].Values<uint16_t>(), (std::vector<uint16_t>{0x1234, 0, 0, 0}));
}

TEST(CallCodec, RepeatsSplatsAndRampsDecodeAsWritten) {
  // Input 1: uint32 1 x 3 splat of 7; input 2 repeats input 1; input 3: uint16 1 x 4 ramp from
  // 65534 by 1, wrapping; input 4 repeats input 3.
  const CallSpec call = Decode({0, 0, 4, 9, 0, 1, 3, 1, 7, 0, 0, 0, 14, 0, 7, 0, 1, 4, 2, 0xFE,
                                0xFF, 1, 0, 15, 2});
  ASSERT_EQ(call.inputs.size(), 4u);
  EXPECT_EQ(call.arrays.size(), 2u);
  const auto pointers = call.InputPointers();
  EXPECT_EQ(pointers[0], pointers[1]);
  EXPECT_EQ(pointers[2], pointers[3]);
  EXPECT_EQ(pointers[0]->Values<uint32_t>(), (std::vector<uint32_t>{7, 7, 7}));
  EXPECT_EQ(pointers[2]->Values<uint16_t>(), (std::vector<uint16_t>{65534, 65535, 0, 1}));
  // A repeat as the very first input has nothing to repeat and is an empty double instead.
  const CallSpec first = Decode({0, 0, 1, 14, 0, 1, 1, 0, 0});
  EXPECT_EQ(first.arrays[0].class_id(), mxDOUBLE_CLASS);
}

TEST(CallCodec, CallsWithoutAByteFormAreRefused) {
  CallSpec too_wide;
  too_wide.Add(Array(mxUINT8_CLASS, {1, 300}));
  EXPECT_THROW(EncodeCall(too_wide), std::invalid_argument);
  CallSpec too_many;
  for (int i = 0; i <= kMaxArguments; ++i) too_many.Add(Array::Scalar<double>(i));
  EXPECT_THROW(EncodeCall(too_many), std::invalid_argument);
  CallSpec large_empty;
  large_empty.Add(Array(mxUINT8_CLASS, {0, 65536}));
  EXPECT_NO_THROW(EncodeCall(large_empty));
}

}  // namespace
}  // namespace gck::fuzz
