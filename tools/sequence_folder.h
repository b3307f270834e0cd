#pragma once
// The output folder of `gckmatch sequence`: frames.txt (the number and path of every frame), then
// field_I_J.npy and errors_I_J.npy for the pair of frames I and J. Each pair is kept as soon as it
// is written, so a run that stops at a bad frame keeps the pairs before it; each file is written
// whole under a temporary name first.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "matcher/field.h"

namespace gck {

class SequenceFolder {
 public:
  // Frame numbers have 4 digits, or as many as the last of `frames` needs.
  SequenceFolder(std::string path, size_t frames);

  // Makes the folder if needed and checks that it takes files, before any work.
  bool Prepare(std::string* error);
  bool WriteFrameList(const std::vector<std::string>& frames, std::string* error);
  bool WritePair(size_t from, size_t to, const Field& field, std::string* error);
  // Removes the pair files of an earlier run that this run did not write.
  bool RemoveEarlierPairs(std::string* error);

  std::string FrameNumber(size_t frame) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int digits_;
  std::set<std::string> written_;
};

}  // namespace gck
