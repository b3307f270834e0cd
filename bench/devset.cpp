#include "bench/devset.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace gck {

bool ReadDevset(const std::string& dir, const std::string& part,
                const std::vector<std::string>& names, std::vector<DevsetPair>* pairs,
                std::string* error) {
  std::ifstream listing(dir + "/pairs.txt");
  if (!listing) {
    *error = "no " + dir + "/pairs.txt: run bench/devset/make_devset.py " + dir + " first";
    return false;
  }
  std::string line;
  while (std::getline(listing, line)) {
    std::istringstream fields(line);
    DevsetPair pair;
    std::getline(fields, pair.name, '\t');
    std::getline(fields, pair.kind, '\t');
    std::getline(fields, pair.file_a, '\t');
    std::getline(fields, pair.file_b, '\t');
    std::getline(fields, pair.part, '\t');
    if (pair.part.empty()) pair.part = "tune";  // a listing of the first rounds
    if (part != "all" && pair.part != part) continue;
    if (!names.empty() && std::find(names.begin(), names.end(), pair.name) == names.end()) continue;
    pair.file_a = dir + "/" + pair.file_a;
    pair.file_b = dir + "/" + pair.file_b;
    pairs->push_back(pair);
  }
  return true;
}

void ParsePartAndNames(int argc, char** argv, std::string* part, std::vector<std::string>* names) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--part" && i + 1 < argc) {
      *part = argv[++i];
    } else {
      names->push_back(arg);
    }
  }
}

}  // namespace gck
