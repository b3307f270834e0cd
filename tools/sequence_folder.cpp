#include "tools/sequence_folder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <system_error>
#include <utility>

#include "io/field_files.h"
#include "tools/output_folder.h"

namespace gck {
namespace {

namespace fs = std::filesystem;

const char kFrameList[] = "frames.txt";

}  // namespace

SequenceFolder::SequenceFolder(std::string path, size_t frames)
    : path_(std::move(path)),
      digits_(std::max<int>(4, int(std::to_string(frames > 0 ? frames - 1 : 0).size()))) {}

std::string SequenceFolder::FrameNumber(size_t frame) const {
  std::string number = std::to_string(frame);
  return std::string(digits_ - std::min<int>(digits_, int(number.size())), '0') + number;
}

bool SequenceFolder::Prepare(std::string* error) { return OutputFolder(path_, {}).Prepare(error); }

bool SequenceFolder::WriteFrameList(const std::vector<std::string>& frames, std::string* error) {
  OutputFolder out(path_, {});
  const auto write = [&](std::FILE* file) {
    for (size_t i = 0; i < frames.size(); ++i)
      if (std::fprintf(file, "%s\t%s\n", FrameNumber(i).c_str(), frames[i].c_str()) < 0)
        return false;
    return true;
  };
  return out.Write(kFrameList, write, error) && out.Commit(error);
}

bool SequenceFolder::WritePair(size_t from, size_t to, const Field& field, std::string* error) {
  const std::string pair = "_" + FrameNumber(from) + "_" + FrameNumber(to) + ".npy";
  OutputFolder out(path_, {});
  const auto field_file = [&](std::FILE* file) { return WriteFieldNpy(file, field); };
  const auto errors_file = [&](std::FILE* file) { return WriteErrorsNpy(file, field); };
  if (!out.Write("field" + pair, field_file, error) ||
      !out.Write("errors" + pair, errors_file, error) || !out.Commit(error))
    return false;
  written_.insert({"field" + pair, "errors" + pair});
  return true;
}

bool SequenceFolder::RemoveEarlierPairs(std::string* error) {
  const std::regex pair_file("(field|errors)_[0-9]+_[0-9]+\\.npy");
  std::error_code failed;
  std::vector<fs::path> earlier;
  for (fs::directory_iterator entry(path_, failed), end; !failed && entry != end;
       entry.increment(failed)) {
    const std::string name = entry->path().filename().string();
    if (std::regex_match(name, pair_file) && !written_.count(name) && !entry->is_directory(failed))
      earlier.push_back(entry->path());
  }
  if (failed) {
    *error = "cannot read the folder '" + path_ + "': " + failed.message();
    return false;
  }
  for (const fs::path& stale : earlier) {
    if (!fs::remove(stale, failed) && failed) {
      *error = "cannot remove '" + stale.string() + "' of an earlier run: " + failed.message();
      return false;
    }
  }
  return true;
}

}  // namespace gck
