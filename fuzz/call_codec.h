#pragma once
// A call to a deliverable as a string of bytes, so that a fuzzer can mutate calls and a seed corpus
// can hold valid ones. Every byte string decodes to some call, and encoding a call gives back bytes
// that decode to the same call.
//
// Layout: member, nlhs, nrhs, then per input a kind byte (its low four bits one of the host's
// classes, or a repeat of an earlier input, as MATLAB passes for f(x, x); its high four bits 1 for a
// sparse array, 2 for a complex one, 3 for both), a rank byte, one byte per dimension and the
// values (a complex array's imaginary parts follow its real parts). A dimension byte of 0xF8 or more
// stands for a large dimension (256 up to 2^32, one per array); a full array beyond the caps below
// is made empty by setting another dimension to 0, so that huge shapes are still seen. A sparse
// array has two dimensions, uncapped, and two bytes (low first) giving how many nonzeros it stores,
// which the caps limit. Bytes missing at the end read as 0.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/array.h"

namespace gck::fuzz {

// Arrays are kept small enough that every call runs in well under a second under the sanitizers,
// even the sweeps whose cost grows with the cube of k or with the slots read per bucket.
constexpr size_t kMaxArrayElements = size_t{1} << 10;
constexpr size_t kMaxCallElements = size_t{1} << 13;
constexpr int kMaxArguments = 14;

struct CallSpec {
  int member = 0;  // which deliverable of a family
  int nlhs = 0;
  std::vector<host::Array> arrays;  // the distinct arrays of the call
  std::vector<int> inputs;          // per input, the index of its array

  // Appends an input holding a new array, or repeating the array of an earlier input.
  int Add(host::Array array);
  void Repeat(int input) { inputs.push_back(inputs.at(input)); }

  std::vector<const host::Array*> InputPointers() const;
};

CallSpec DecodeCall(const uint8_t* data, size_t size, int member_count);

// Values are written in full, or as one element repeated when all are equal. Throws
// std::invalid_argument for a call that has no byte form (a dimension of 248 to 255, or above the
// caps, or more than kMaxArguments inputs).
std::vector<uint8_t> EncodeCall(const CallSpec& call);

}  // namespace gck::fuzz
