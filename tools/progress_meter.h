#pragma once
// The progress of a run over frames: on a terminal a bar redrawn in place, elsewhere (a log file, a
// pipe) one plain line per noted step. Both show the frames per second so far and the time left.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace gck {

class ProgressMeter {
 public:
  ProgressMeter(size_t total, std::FILE* out);

  // `done` of the total frames are finished; a non-empty `note` says what the last one gave.
  void Update(size_t done, const std::string& note);
  // Ends the bar's line, so that what follows starts on a line of its own.
  void Finish();

  double Seconds() const;
  double FramesPerSecond() const;

 private:
  const size_t total_;
  std::FILE* const out_;
  const bool terminal_;
  const std::chrono::steady_clock::time_point start_;
  size_t done_ = 0;
  bool drawn_ = false;
};

// "0:07", "12:34" or "1:02:03".
std::string Duration(double seconds);

}  // namespace gck
