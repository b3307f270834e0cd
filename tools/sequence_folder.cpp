#include "tools/sequence_folder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <system_error>
#include <utility>

#include "io/field_files.h"
#include "io/image_file.h"
#include "tools/interruption.h"
#include "tools/output_folder.h"

namespace gck {
namespace {

namespace fs = std::filesystem;

const char kFrameList[] = "frames.txt";

// The files of a run: frames.txt and the pairs' fields, errors and offsets pictures.
bool IsRunFile(const std::string& name) {
  static const std::regex pair_file("(field|errors)_[0-9]+_[0-9]+\\.npy|offsets_[0-9]+_[0-9]+\\.png");
  return name == kFrameList || std::regex_match(name, pair_file);
}

}  // namespace

SequenceFolder::SequenceFolder(std::string path, std::vector<std::string> frames,
                               std::function<bool()> stopped)
    : path_(std::move(path)),
      frames_(std::move(frames)),
      stopped_(std::move(stopped)),
      digits_(std::max<int>(
          4, int(std::to_string(frames_.size() > 0 ? frames_.size() - 1 : 0).size()))) {}

std::string SequenceFolder::FrameNumber(size_t frame) const {
  std::string number = std::to_string(frame);
  return std::string(digits_ - std::min<int>(digits_, int(number.size())), '0') + number;
}

bool SequenceFolder::Prepare(bool replace, std::string* error) {
  if (!OutputFolder(path_, {}).Prepare(error, IsRunFile)) return false;
  std::error_code failed;
  earlier_.clear();
  for (fs::directory_iterator entry(path_, failed), end; !failed && entry != end;
       entry.increment(failed)) {
    const std::string name = entry->path().filename().string();
    if (IsRunFile(name) && !entry->is_directory(failed)) earlier_.push_back(name);
  }
  if (failed) {
    *error = "cannot read the folder '" + path_ + "': " + failed.message();
    return false;
  }
  if (earlier_.empty() || replace) return true;
  std::sort(earlier_.begin(), earlier_.end());
  *error = "the folder '" + path_ + "' holds the files of an earlier run (" + earlier_.front() +
           (earlier_.size() > 1 ? " and " + std::to_string(earlier_.size() - 1) + " more" : "") +
           "): give --replace to replace them, or another --out";
  return false;
}

bool SequenceFolder::WritePair(size_t from, size_t to, const Field& field, const Image* offsets,
                               std::string* error) {
  if (pairs_ == 0) {
    for (const std::string& name : earlier_) {
      std::error_code failed;
      if (!fs::remove(fs::path(path_) / name, failed) && failed) {
        *error = "cannot remove '" + (fs::path(path_) / name).string() +
                 "' of an earlier run: " + failed.message();
        return false;
      }
    }
    earlier_.clear();
    OutputFolder list(path_, {}, stopped_);
    const auto write = [&](std::FILE* file) {
      for (size_t i = 0; i < frames_.size(); ++i)
        if (std::fprintf(file, "%s\t%s\n", FrameNumber(i).c_str(), frames_[i].c_str()) < 0)
          return false;
      return true;
    };
    if (!list.Write(kFrameList, write, error)) return false;
    const HoldInterruptions hold;
    if (!list.Commit(error)) return false;
  }
  const std::string pair = "_" + FrameNumber(from) + "_" + FrameNumber(to);
  OutputFolder out(path_, {}, stopped_);
  const auto field_file = [&](std::FILE* file) { return WriteFieldNpy(file, field, stopped_); };
  const auto errors_file = [&](std::FILE* file) { return WriteErrorsNpy(file, field, stopped_); };
  const auto picture_file = [&](std::FILE* file) { return WritePng(file, *offsets, stopped_); };
  if (!out.Write("field" + pair + ".npy", field_file, error) ||
      !out.Write("errors" + pair + ".npy", errors_file, error) ||
      (offsets && !out.Write("offsets" + pair + ".png", picture_file, error)))
    return false;
  const HoldInterruptions hold;
  if (!out.Commit(error)) return false;
  ++pairs_;
  return true;
}

bool ListableFrameNames(const std::vector<std::string>& frames, std::string* error) {
  for (const std::string& frame : frames) {
    if (frame.find_first_of("\t\n\r") == std::string::npos) continue;
    std::string shown;
    for (const char c : frame)
      shown += c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    *error = "the frame name '" + shown +
             "' holds a tab or line break, which frames.txt cannot list: rename the file";
    return false;
  }
  return true;
}

}  // namespace gck
