#include "tools/sequence_command.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "io/image_file.h"
#include "io/offsets_picture.h"
#include "matcher/sequence.h"
#include "tools/frame_list.h"
#include "tools/interruption.h"
#include "tools/match_command.h"
#include "tools/progress_meter.h"
#include "tools/sequence_folder.h"

namespace gck {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "gckmatch: %s\n", message.c_str());
  return 1;
}

struct Pair {
  size_t from, to;
  double mean_rms_error;
};

void PrintSummary(const std::vector<Pair>& pairs, const Field& last, const SequenceFolder& out,
                  const ProgressMeter& progress, size_t frames) {
  std::printf("pair%*s  mean RMS patch error\n", int(2 * out.FrameNumber(0).size()), "");
  for (const Pair& pair : pairs)
    std::printf("%s -> %s  %.4f\n", out.FrameNumber(pair.from).c_str(),
                out.FrameNumber(pair.to).c_str(), pair.mean_rms_error);
  std::printf(
      "matched %zu pairs of %d x %d patches of width %d (k = %d) in %.3f s: %.2f frames "
      "per second\n",
      pairs.size(), last.cols, last.rows, last.width, last.k, progress.Seconds(),
      frames / progress.Seconds());
  std::printf("outputs in %s\n", out.path().c_str());
}

}  // namespace

int RunSequence(const MatchCommand& command) {
  std::string error;
  std::vector<std::string> frames;
  if (!ListFrames(command.frames, &frames, &error)) return Fail(error);
  const size_t step = size_t(command.step);
  if (frames.size() == 1) {
    // A lone path that cannot be read is more likely a slip than a sequence of one frame.
    Image frame;
    if (!ReadImage(frames[0], &frame, &error)) return Fail(error);
    return Fail("only one frame, '" + frames[0] + "': a sequence needs at least two");
  }
  if (frames.size() <= step)
    return Fail(std::to_string(frames.size()) + " frames are too few for --step " +
                std::to_string(step) + ": it needs at least " + std::to_string(step + 1));
  if (!ListableFrameNames(frames, &error)) return Fail(error);
  // The folder is checked before the work, which can take hours.
  SequenceFolder out(command.out_dir, frames, [] { return Interruption() != 0; });
  if (!out.Prepare(command.replace, &error)) return Fail(error);

  MatchOptions options = command.options;
  options.cancelled = [] { return Interruption() != 0; };
  SequenceMatcher matcher(options, command.step, command.temporal);
  ProgressMeter progress(frames.size(), stderr);
  std::vector<Pair> pairs;
  Field last;  // the size of the fields, for the summary
  // A bad frame or a signal ends the run; the pairs before it stay.
  const auto stop = [&](const std::string& why) {
    progress.Finish();
    if (!why.empty()) Fail(why);
    if (out.pairs_written() > 0)
      std::fprintf(stderr, "gckmatch: the fields of the pairs before it are in %s\n",
                   out.path().c_str());
    return why.empty() ? kInterrupted : 1;
  };
  for (size_t i = 0; i < frames.size(); ++i) {
    if (Interruption()) return stop("");
    Image frame;
    if (!ReadImage(frames[i], &frame, &error)) return stop(error);
    std::optional<Field> field;
    try {
      if (i == 0) CheckMemory(SequenceMatcher::Memory(frame, options, command.step, command.temporal));
      field = matcher.Add(frame);
    } catch (const MatchError& e) {
      return stop("cannot match '" + frames[i] + "': " + e.what());
    } catch (const MatchCancelled&) {
      return stop("");
    }
    std::string note;
    if (field) {
      const Pair pair{i - step, i, field->MeanRmsError()};
      const Image offsets =
          command.offsets ? OffsetsPicture(*field, frame.rows, frame.cols, options.cancelled)
                          : Image();
      if (!out.WritePair(pair.from, pair.to, *field, command.offsets ? &offsets : nullptr, &error))
        return stop(Interruption() ? "" : error);
      pairs.push_back(pair);
      last = Field{field->rows, field->cols, field->k, field->width, field->channels, {}, {}, {}};
      char text[96];
      std::snprintf(text, sizeof text, "pair %s -> %s: mean RMS patch error %.4f",
                    out.FrameNumber(pair.from).c_str(), out.FrameNumber(pair.to).c_str(),
                    pair.mean_rms_error);
      note = text;
    }
    progress.Update(i + 1, note);
  }
  progress.Finish();
  PrintSummary(pairs, last, out, progress, frames.size());
  return 0;
}

}  // namespace gck
