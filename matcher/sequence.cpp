#include "matcher/sequence.h"

#include <algorithm>
#include <string>

#include "matcher/prepared.h"

namespace gck {

SequenceMatcher::SequenceMatcher(const MatchOptions& options, int32_t step)
    : options_(options), step_(step) {
  if (step < 1) throw MatchError("the step between matched frames must be at least 1");
}

SequenceMatcher::~SequenceMatcher() = default;

uint64_t SequenceMatcher::Memory(const Image& frame, const MatchOptions& options, int32_t step) {
  // The match of a pair, and `step` - 1 more frames prepared and waiting, each costing what B
  // adds to a match.
  const uint64_t pair = MatchMemory(frame, frame, options);
  const uint64_t frame_cost = pair - MatchMemory(frame, frame, options, /*self=*/true);
  return pair + uint64_t(std::max(step - 1, 0)) * frame_cost;
}

std::optional<Field> SequenceMatcher::Add(const Image& frame) {
  CheckPixels(frame);
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
  const ThreadCount thread_count(options_.threads);
  std::unique_ptr<PreparedImage> prepared = Prepare(frame, channels_, levels_, options_, true);
  std::optional<Field> field;
  if (int32_t(window_.size()) == step_) {
    field = MatchPrepared(*window_.front(), *prepared, levels_, options_, false, nullptr);
    window_.pop_front();
  }
  window_.push_back(std::move(prepared));
  return field;
}

}  // namespace gck
