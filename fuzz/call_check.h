#pragma once
// What every call of a deliverable must satisfy, whatever its arguments: it returns, or it ends
// through the host's error call with a message and leaves every array it was given as it was.

#include <string>

#include "fuzz/call_codec.h"
#include "host/loader.h"

namespace gck::fuzz {

struct CheckedCall {
  host::CallResult result;
  std::string violation;  // empty when the call kept the rules
};

// Same class, shape, storage and stored bytes (both parts of a complex array).
bool SameArray(const host::Array& a, const host::Array& b);

// Calls the file with the call's arrays and compares every input, byte for byte, with a copy taken
// before the call when the call was rejected.
CheckedCall CallAndCheck(const host::MexFile& file, const CallSpec& call);

}  // namespace gck::fuzz
