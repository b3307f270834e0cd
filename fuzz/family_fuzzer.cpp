// A libFuzzer target for one family of deliverables (GCK_FUZZ_MEMBERS, comma-separated): every
// input is decoded into a call, the first byte picking the member, and made through the member's
// sanitized built file. A call that breaks the rules of CallAndCheck ends the run like a crash.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/call_check.h"

namespace {

struct Member {
  std::string name;
  std::unique_ptr<gck::host::MexFile> file;
};

std::vector<Member>& Members() {
  static std::vector<Member> members;
  return members;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("GCK_MEX_DIR", GCK_FUZZ_MEX_DIR, /*overwrite=*/0);
  const std::string names = GCK_FUZZ_MEMBERS;
  for (size_t begin = 0; begin <= names.size();) {
    size_t end = names.find(',', begin);
    if (end == std::string::npos) end = names.size();
    const std::string name = names.substr(begin, end - begin);
    Members().push_back({name, std::make_unique<gck::host::MexFile>(name)});
    begin = end + 1;
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int count = static_cast<int>(Members().size());
  const gck::fuzz::CallSpec call = gck::fuzz::DecodeCall(data, size, count);
  const Member& member = Members()[call.member];
  const gck::fuzz::CheckedCall checked = gck::fuzz::CallAndCheck(*member.file, call);
  if (!checked.violation.empty()) {
    std::fprintf(stderr, "%s: %s\n", member.name.c_str(), checked.violation.c_str());
    std::abort();
  }
  return 0;
}
