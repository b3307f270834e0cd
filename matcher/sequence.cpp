#include "matcher/sequence.h"

#include <algorithm>
#include <string>

#include "matcher/prepared.h"

namespace gck {

namespace {

// A temporal start counts an anchor as settled while its start is no more than this much worse
// than its match in the pair before: noise and slow changes of light leave it be.
constexpr float kSettleMargin = 0.1f;
// Motion between frames is local: the anchors a temporal start leaves unsettled are searched near
// their start and never with the tree; the start's mean error more than twice the previous
// field's, or less than half, is a scene cut (a steady clip's stutters of 2 to 2.5 times are
// better matched afresh too).
constexpr StartSearch kTemporalSearch{8, 1, 2.0, true, 2.0};

}  // namespace

// A frame and what is prepared of it, which may be made from the frame later.
struct SequenceMatcher::Frame {
  Image image;
  std::unique_ptr<PreparedImage> prepared;
};

SequenceMatcher::SequenceMatcher(const MatchOptions& options, int32_t step, bool temporal)
    : options_(options), step_(step), temporal_(temporal) {
  if (step < 1) throw MatchError("the step between matched frames must be at least 1");
}

SequenceMatcher::~SequenceMatcher() = default;

uint64_t SequenceMatcher::Memory(const Image& frame, const MatchOptions& options, int32_t step,
                                 bool temporal) {
  // The match of a pair, and `step` - 1 more frames prepared and waiting, each costing what B
  // adds to a match; the frames themselves are kept too.
  const uint64_t pair = MatchMemory(frame, frame, options);
  const uint64_t frame_cost = pair - MatchMemory(frame, frame, options, /*self=*/true);
  const uint64_t pixels = frame.plane() * uint64_t(std::max(frame.channels, 0));
  uint64_t need = pair + uint64_t(std::max(step - 1, 0)) * frame_cost + uint64_t(step + 1) * pixels;
  if (temporal) {
    // The last pair's field and the start made of it: 12 bytes per entry each.
    const uint64_t entries = uint64_t(std::max(frame.rows - options.width + 1, 0)) *
                             uint64_t(std::max(frame.cols - options.width + 1, 0)) *
                             uint64_t(std::max(options.k, 1));
    need += 2 * 12 * entries;
  }
  return need;
}

std::optional<Field> SequenceMatcher::Add(const Image& image) {
  CheckPixels(image);
  if (channels_ == 0) {
    CheckMatchable(image, image, options_);
    rows_ = image.rows, cols_ = image.cols, channels_ = image.channels;
    levels_ = CoarseLevels(rows_, cols_, rows_, cols_, options_);
  } else if (image.rows != rows_ || image.cols != cols_ || image.channels != channels_) {
    throw MatchError("the frame is " + std::to_string(image.cols) + " x " +
                     std::to_string(image.rows) + " with " + std::to_string(image.channels) +
                     " channels, the first was " + std::to_string(cols_) + " x " +
                     std::to_string(rows_) + " with " + std::to_string(channels_));
  }
  auto frame = std::make_unique<Frame>();
  frame->image = image;
  std::optional<Field> field;
  bool cut = false;
  RunOnTeam(TeamSize(options_.threads, 2 * image.plane()), WatchOf(options_), [&] {
    // Temporal pairs mostly need neither the coarse levels nor the tree: made when they do.
    const PrepareFor what{levels_, TreeLevel(levels_, rows_, cols_, options_), !temporal_,
                          !temporal_, !temporal_};
    frame->prepared = Prepare(frame->image, channels_, options_, what);
    if (int32_t(window_.size()) < step_) return;
    PreparedImage& a = *window_.front()->prepared;
    if (!last_) {
      field = MatchPrepared(a, *frame->prepared, options_, false, nullptr);
      return;
    }
    Field start = *last_;
    for (float& error : start.errors) error *= 1 + kSettleMargin;
    MatchOptions from_last = options_;
    from_last.start_field = &start;
    field = MatchPrepared(a, *frame->prepared, from_last, false, nullptr, kTemporalSearch, &cut);
  });
  if (field) window_.pop_front();
  window_.push_back(std::move(frame));
  // A field across a cut holds no motion: the next `step` pairs, which start across it or from a
  // pair that spans it, start afresh too.
  if (cut) afresh_ = step_;
  if (temporal_ && field) {
    last_ = afresh_ > 0 ? std::nullopt : field;
    afresh_ = std::max(0, afresh_ - 1);
  }
  return field;
}

}  // namespace gck
