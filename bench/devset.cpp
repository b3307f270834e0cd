#include "bench/devset.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

// "key=value,..." over the options, as the settings' fields are named.
bool ApplySettings(const char* text, MatchOptions* options) {
  if (!text) return true;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const int value = eq == std::string::npos ? 0 : std::atoi(item.c_str() + eq + 1);
    if (key == "levels") options->levels = value;
    else if (key == "coarse_passes") options->coarse_passes = value;
    else if (key == "mid_passes") options->mid_passes = value;
    else if (key == "passes") options->passes = value;
    else if (key == "radius") options->radius = value;
    else if (key == "coarse_radius") options->coarse_radius = value;
    else if (key == "kernels") options->kernels = value;
    else if (key == "leaf") options->leaf_size = value;
    else if (key == "good") options->good_enough = value;
    else if (key == "tries") options->leaf_tries = value;
    else if (key == "entry_leaves") options->entry_leaves = value;
    else if (key == "tree_anchors") options->tree_anchors = value;
    else if (key == "step") options->tree_step = value;
    else if (key == "tree_level") options->tree_level = value;
    else if (key == "copies") options->copy_table = value != 0;
    else {
      std::fprintf(stderr, "unknown setting '%s'\n", key.c_str());
      return false;
    }
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

bool PairsOfArguments(int argc, char** argv, const std::string& dir, std::string* part,
                      std::vector<DevsetPair>* pairs) {
  std::vector<std::string> names;
  ParsePartAndNames(argc, argv, part, &names);
  std::string error;
  if (ReadDevset(dir, *part, names, pairs, &error)) return true;
  std::fprintf(stderr, "%s\n", error.c_str());
  return false;
}

}  // namespace gck
