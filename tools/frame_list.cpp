#include "tools/frame_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace gck {
namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool IsImageName(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return extension == ".png" || extension == ".jpg" || extension == ".jpeg";
}

}  // namespace

bool NameOrder(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t end_a = i, end_b = j;
      while (end_a < a.size() && IsDigit(a[end_a])) ++end_a;
      while (end_b < b.size() && IsDigit(b[end_b])) ++end_b;
      // Without leading zeros, the longer run is the larger number; of equal lengths, the first
      // differing digit decides.
      size_t from_a = i, from_b = j;
      while (from_a + 1 < end_a && a[from_a] == '0') ++from_a;
      while (from_b + 1 < end_b && b[from_b] == '0') ++from_b;
      if (end_a - from_a != end_b - from_b) return end_a - from_a < end_b - from_b;
      const int order = a.compare(from_a, end_a - from_a, b, from_b, end_b - from_b);
      if (order != 0) return order < 0;
      i = end_a, j = end_b;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i, ++j;
    }
  }
  if (i < a.size() || j < b.size()) return i == a.size();  // a is where b begins
  return a < b;  // equal but for leading zeros: a fixed order all the same
}

bool ListFrames(const std::vector<std::string>& given, std::vector<std::string>* frames,
                std::string* error) {
  std::error_code failed;
  if (given.size() != 1 || !fs::is_directory(given[0], failed)) {
    for (const std::string& path : given) {
      if (fs::is_directory(path, failed)) {
        *error = "'" + path + "' is a folder: give one folder of frames, or image files";
        return false;
      }
    }
    *frames = given;
    return true;
  }
  std::vector<std::string> names;
  for (fs::directory_iterator entry(given[0], failed), end; !failed && entry != end;
       entry.increment(failed)) {
    if (IsImageName(entry->path()) && !fs::is_directory(entry->path(), failed))
      names.push_back(entry->path().filename().string());
  }
  if (failed) {
    *error = "cannot read the folder '" + given[0] + "': " + failed.message();
    return false;
  }
  if (names.empty()) {
    *error = "no png or jpg files in the folder '" + given[0] + "'";
    return false;
  }
  std::sort(names.begin(), names.end(), NameOrder);
  frames->clear();
  for (const std::string& name : names) frames->push_back((fs::path(given[0]) / name).string());
  return true;
}

}  // namespace gck
