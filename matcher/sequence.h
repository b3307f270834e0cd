#pragma once
// Fields along a video: frame i matched to frame i + step, every frame prepared once for the two
// pairs it belongs to (as B of the pair before it and as A of the pair after it).

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "matcher/field.h"
#include "matcher/image.h"
#include "matcher/matcher.h"

namespace gck {

struct PreparedImage;

class SequenceMatcher {
 public:
  // step >= 1. The options are those of MatchImages. Each field equals MatchImages of its pair,
  // unless `temporal`: then each pair starts from the field of the pair before it (the one that
  // ended a frame earlier, whatever the step), which holds the motion of the scene: an anchor whose
  // start is about as good as its match was there takes its neighbours' matches only, the others
  // are searched again; after a scene cut (the start's mean error more than twice the previous
  // field's) the pair is matched afresh.
  SequenceMatcher(const MatchOptions& options, int32_t step = 1, bool temporal = false);
  ~SequenceMatcher();

  // Takes the next frame. Returns the field from the frame `step` frames back to this one, or
  // nothing for the first `step` frames. Throws MatchError, keeping what came before, when the
  // frame cannot be matched, its pixels do not fill it, or it differs in size or channels from the
  // first frame.
  std::optional<Field> Add(const Image& frame);

  // The memory a sequence of frames like this one takes at its peak, in bytes (see MatchMemory).
  static uint64_t Memory(const Image& frame, const MatchOptions& options, int32_t step = 1,
                         bool temporal = false);

 private:
  struct Frame;

  const MatchOptions options_;
  const int32_t step_;
  const bool temporal_;
  int32_t rows_ = 0, cols_ = 0, channels_ = 0, levels_ = 0;
  std::deque<std::unique_ptr<Frame>> window_;  // the last `step` frames, oldest first
  std::optional<Field> last_;                  // the field of the pair before, when temporal
  int32_t afresh_ = 0;                         // pairs still to match afresh after a cut
};

}  // namespace gck
