#include "fuzz/call_check.h"

#include <cstring>

namespace gck::fuzz {
namespace {

bool SameBytes(const host::Array& a, const host::Array& b) {
  return a.class_id() == b.class_id() && a.dims() == b.dims() &&
         (a.bytes() == 0 || std::memcmp(mxGetData(a.raw()), mxGetData(b.raw()), a.bytes()) == 0);
}

}  // namespace

CheckedCall CallAndCheck(const host::MexFile& file, const CallSpec& call) {
  const std::vector<host::Array> before = call.arrays;
  CheckedCall checked{file.Call(call.nlhs, call.InputPointers()), {}};
  if (checked.result.ok()) return checked;
  if (checked.result.error.empty()) {
    checked.violation = "a rejected call gave no message";
    return checked;
  }
  for (size_t i = 0; i < call.inputs.size(); ++i) {
    if (!SameBytes(before[call.inputs[i]], call.arrays[call.inputs[i]])) {
      checked.violation = "a rejected call (\"" + checked.result.error + "\") changed input " +
                          std::to_string(i + 1);
      return checked;
    }
  }
  return checked;
}

}  // namespace gck::fuzz
