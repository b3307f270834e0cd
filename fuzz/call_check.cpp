#include "fuzz/call_check.h"

#include <cstring>

namespace gck::fuzz {

bool SameArray(const host::Array& a, const host::Array& b) {
  const host::Storage x = a.storage(), y = b.storage();
  if (a.class_id() != b.class_id() || a.dims() != b.dims() || x.sparse != y.sparse ||
      x.complex != y.complex || a.bytes() != b.bytes()) {
    return false;
  }
  const size_t n = a.bytes();
  return n == 0 ||
         (std::memcmp(mxGetData(a.raw()), mxGetData(b.raw()), n) == 0 &&
          (!x.complex ||
           std::memcmp(host::ImaginaryData(a.raw()), host::ImaginaryData(b.raw()), n) == 0));
}

CheckedCall CallAndCheck(const host::MexFile& file, const CallSpec& call) {
  const std::vector<host::Array> before = call.arrays;
  CheckedCall checked{file.Call(call.nlhs, call.InputPointers()), {}};
  if (checked.result.ok()) return checked;
  if (checked.result.error.empty()) {
    checked.violation = "a rejected call gave no message";
    return checked;
  }
  for (size_t i = 0; i < call.inputs.size(); ++i) {
    if (!SameArray(before[call.inputs[i]], call.arrays[call.inputs[i]])) {
      checked.violation = "a rejected call (\"" + checked.result.error + "\") changed input " +
                          std::to_string(i + 1);
      return checked;
    }
  }
  return checked;
}

}  // namespace gck::fuzz
