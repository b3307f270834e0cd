#pragma once
// The output folder of `gckmatch sequence`: frames.txt (the number and path of every frame), then
// field_I_J.npy and errors_I_J.npy (and offsets_I_J.png, on request) for the pair of frames I and
// J. Each pair is kept as soon as it is written, so a run that stops at a bad frame, or is
// interrupted, keeps the pairs before it, listed with every frame of the run in frames.txt; each
// file is written whole under a temporary name first. A folder holds one run's files only: one that holds an earlier run's is refused,
// unless they are to be replaced, and then they are removed when the new run writes its first pair.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

class SequenceFolder {
 public:
  // Frame numbers have 4 digits, or as many as the last of `frames` needs. Once `stopped` returns
  // true, writes fail.
  SequenceFolder(std::string path, std::vector<std::string> frames,
                 std::function<bool()> stopped = nullptr);

  // Makes the folder if needed and checks that it takes files, before any work. Refuses a folder
  // holding an earlier run's files unless `replace`.
  bool Prepare(bool replace, std::string* error);
  // Writes the pair's two files, and its offsets picture when given; before the first pair,
  // frames.txt, after removing an earlier run's files.
  bool WritePair(size_t from, size_t to, const Field& field, const Image* offsets,
                 std::string* error);

  std::string FrameNumber(size_t frame) const;
  const std::string& path() const { return path_; }
  size_t pairs_written() const { return pairs_; }

 private:
  std::string path_;
  std::vector<std::string> frames_;
  std::function<bool()> stopped_;
  int digits_;
  std::vector<std::string> earlier_;  // the earlier run's files, to go before the first pair
  size_t pairs_ = 0;
};

// Frames.txt lists one frame per line, number and path split by a tab: false with a message for a
// path that holds a tab or line break.
bool ListableFrameNames(const std::vector<std::string>& frames, std::string* error);

}  // namespace gck
