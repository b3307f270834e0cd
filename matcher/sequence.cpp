#include "matcher/sequence.h"

#include <string>

#include "matcher/prepared.h"

namespace gck {

SequenceMatcher::SequenceMatcher(const MatchOptions& options, int32_t step)
    : options_(options), step_(step) {
  if (step < 1) throw MatchError("the step between matched frames must be at least 1");
}

SequenceMatcher::~SequenceMatcher() = default;

std::optional<Field> SequenceMatcher::Add(const Image& frame) {
  if (channels_ == 0) {
    CheckMatchable(frame, frame, options_);
    rows_ = frame.rows, cols_ = frame.cols, channels_ = frame.channels;
    levels_ = CoarseLevels(rows_, cols_, rows_, cols_, options_);
  } else if (frame.rows != rows_ || frame.cols != cols_ || frame.channels != channels_) {
    throw MatchError("the frame is " + std::to_string(frame.cols) + " x " +
                     std::to_string(frame.rows) + " with " + std::to_string(frame.channels) +
                     " channels, the first was " + std::to_string(cols_) + " x " +
                     std::to_string(rows_) + " with " + std::to_string(channels_));
  }
  std::unique_ptr<PreparedImage> prepared;
  std::optional<Field> field;
  RunOnTeam(TeamSize(options_.threads, 2 * frame.plane()), WatchOf(options_), [&] {
    prepared = Prepare(frame, channels_, options_, {levels_, true, true, true});
    if (int32_t(window_.size()) == step_)
      field = MatchPrepared(*window_.front(), *prepared, levels_, options_, false, nullptr);
  });
  if (field) window_.pop_front();
  window_.push_back(std::move(prepared));
  return field;
}

}  // namespace gck
