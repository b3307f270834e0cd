// write_seeds <folder> <member>...: writes the valid calls of each member of a family, in the
// behaviour of the build it is part of, as fuzzer inputs <member>_<n>, with the member byte set to
// its place in the list.
#include <cstdio>
#include <fstream>
#include <string>

#include "bridge/build_flavour.h"
#include "fuzz/call_codec.h"
#include "fuzz/valid_calls.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <folder> <member>...\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  for (int member = 0; member + 2 < argc; ++member) {
    const std::string name = argv[member + 2];
    std::vector<gck::fuzz::CallSpec> calls = gck::fuzz::ValidCalls(name, gck::kWindowsBuild);
    if (calls.empty()) {
      std::fprintf(stderr, "no valid calls are known for %s: add them to fuzz/valid_calls.cpp\n",
                   name.c_str());
      return 1;
    }
    for (size_t n = 0; n < calls.size(); ++n) {
      calls[n].member = member;
      const std::vector<uint8_t> bytes = gck::fuzz::EncodeCall(calls[n]);
      std::ofstream out(folder + "/" + name + "_" + std::to_string(n), std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      if (!out) {
        std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
        return 1;
      }
    }
  }
  return 0;
}
