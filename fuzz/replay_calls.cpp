// replay_calls <member>... -- <file or folder>...: makes every call of the given fuzzer inputs
// through the members' built files (found in $GCK_MEX_DIR) and checks each as the fuzz targets do.
// Any flavour with a stand-in host can replay a corpus, so the Windows files, which are not
// fuzzed, can be given everything the Linux files were fuzzed with. Exits 1 on a broken rule.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/call_check.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsUnder(const fs::path& path) {
  std::vector<fs::path> inputs;
  if (fs::is_directory(path)) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
  } else {
    inputs.push_back(path);
  }
  return inputs;
}

std::vector<uint8_t> BytesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  int arg = 1;
  for (; arg < argc && std::string(argv[arg]) != "--"; ++arg) names.push_back(argv[arg]);
  if (names.empty() || arg + 1 >= argc) {
    std::fprintf(stderr, "usage: %s <member>... -- <file or folder>...\n", argv[0]);
    return 2;
  }
  std::vector<std::unique_ptr<gck::host::MexFile>> members;
  for (const std::string& name : names) members.push_back(std::make_unique<gck::host::MexFile>(name));

  long calls = 0, refused = 0, broken = 0;
  for (++arg; arg < argc; ++arg) {
    for (const fs::path& input : InputsUnder(argv[arg])) {
      const std::vector<uint8_t> bytes = BytesOf(input);
      const gck::fuzz::CallSpec call =
          gck::fuzz::DecodeCall(bytes.data(), bytes.size(), static_cast<int>(members.size()));
      const gck::fuzz::CheckedCall checked = gck::fuzz::CallAndCheck(*members[call.member], call);
      ++calls;
      refused += checked.result.failed;
      if (!checked.violation.empty()) {
        ++broken;
        std::fprintf(stderr, "%s: %s: %s\n", input.string().c_str(), names[call.member].c_str(),
                     checked.violation.c_str());
      }
    }
  }
  std::printf("replayed %ld calls through %s%s: %ld refused, %ld broke a rule\n", calls,
              names.front().c_str(), names.size() > 1 ? " and its family" : "", refused, broken);
  return broken == 0 ? 0 : 1;
}
