#include "tools/progress_meter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace gck {

std::string Duration(double seconds) {
  const long whole = std::lround(std::max(0.0, seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

ProgressMeter::ProgressMeter(size_t total, std::FILE* out)
    : total_(total),
      out_(out),
      terminal_(isatty(fileno(out)) != 0),
      start_(std::chrono::steady_clock::now()) {}

double ProgressMeter::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

double ProgressMeter::FramesPerSecond() const {
  const double seconds = Seconds();
  return seconds > 0 ? done_ / seconds : 0;
}

void ProgressMeter::Update(size_t done, const std::string& note) {
  done_ = done;
  const double rate = FramesPerSecond();
  const std::string left = rate > 0 ? Duration((total_ - done) / rate) : "?";
  if (terminal_) {
    constexpr size_t kWidth = 30;
    const size_t filled = total_ ? done * kWidth / total_ : kWidth;
    // \r returns to the start of the line and \033[K clears what a longer line left.
    std::fprintf(out_, "\r[%s%s] %zu/%zu frames  %.2f frames/s  %s left\033[K",
                 std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(), done,
                 total_, rate, left.c_str());
    drawn_ = true;
  } else if (!note.empty()) {
    std::fprintf(out_, "gckmatch: frame %zu of %zu, %s; %.2f frames/s, %s left\n", done, total_,
                 note.c_str(), rate, left.c_str());
  }
  std::fflush(out_);
}

void ProgressMeter::Finish() {
  if (drawn_) std::fputc('\n', out_);
  drawn_ = false;
  std::fflush(out_);
}

}  // namespace gck
