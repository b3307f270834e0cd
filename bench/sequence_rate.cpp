// Matching along a video, three ways: a separate MatchImages per pair, which reads both frames of
// every pair as separate runs of the command do; SequenceMatcher, which reads and prepares every
// frame once (its fields are checked equal to the separate ones); and SequenceMatcher in temporal
// mode, each pair starting from the field of the pair before. PNG decoding is included in all.
// Per clip: frames per second (fastest of three runs of each way, taken in turn), the mean RMS
// patch error over the pairs, and the temporal pair that ends furthest above its separate match.
// Run: sequence_rate [THREADS [FOLDER...]]  (default 1 thread and build/devset/clip,
// clip-animation and clip-cut, made by bench/devset/make_devset.py build/devset)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "io/image_file.h"
#include "matcher/matcher.h"
#include "matcher/sequence.h"
#include "tools/frame_list.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

gck::Image Read(const std::string& path) {
  gck::Image image;
  std::string error;
  if (!gck::ReadImage(path, &image, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  return image;
}

bool SameField(const gck::Field& x, const gck::Field& y) {
  return x.rows == y.rows && x.cols == y.cols && x.k == y.k && x.match_rows == y.match_rows &&
         x.match_cols == y.match_cols && x.errors == y.errors;
}

struct Way {
  double seconds = 1e30;
  std::vector<gck::Field> fields;

  double MeanError() const {
    double sum = 0;
    for (const gck::Field& field : fields) sum += field.MeanRmsError();
    return sum / double(fields.size());
  }
};

std::vector<gck::Field> Sequence(const std::vector<std::string>& frames,
                                 const gck::MatchOptions& options, bool temporal) {
  std::vector<gck::Field> fields;
  gck::SequenceMatcher sequence(options, 1, temporal);
  for (const std::string& frame : frames)
    if (std::optional<gck::Field> field = sequence.Add(Read(frame))) fields.push_back(*field);
  return fields;
}

// Returns false when the sequence's fields differ from the separate ones.
bool MeasureClip(const std::string& folder, const gck::MatchOptions& options) {
  std::vector<std::string> frames;
  std::string error;
  if (!gck::ListFrames({folder}, &frames, &error) || frames.size() < 2) {
    std::fprintf(stderr, "%s: %s\n(make the clips with bench/devset/make_devset.py build/devset)\n",
                 folder.c_str(), error.empty() ? "fewer than two frames" : error.c_str());
    std::exit(1);
  }
  Way separate, sequence, temporal;
  for (int round = 0; round < 3; ++round) {
    Clock::time_point start = Clock::now();
    separate.fields.clear();
    for (size_t i = 0; i + 1 < frames.size(); ++i)
      separate.fields.push_back(gck::MatchImages(Read(frames[i]), Read(frames[i + 1]), options));
    separate.seconds = std::min(separate.seconds, Since(start));
    start = Clock::now();
    sequence.fields = Sequence(frames, options, false);
    sequence.seconds = std::min(sequence.seconds, Since(start));
    start = Clock::now();
    temporal.fields = Sequence(frames, options, true);
    temporal.seconds = std::min(temporal.seconds, Since(start));
  }
  size_t same = 0, worst = 0;
  double worst_excess = -1;
  for (size_t i = 0; i < separate.fields.size(); ++i) {
    same += SameField(sequence.fields[i], separate.fields[i]);
    const double excess =
        temporal.fields[i].MeanRmsError() / separate.fields[i].MeanRmsError() - 1;
    if (excess > worst_excess) worst_excess = excess, worst = i;
  }
  const gck::Image first = Read(frames[0]);
  std::printf("\n%s: %zu frames of %d x %d pixels\n", folder.c_str(), frames.size(), first.cols,
              first.rows);
  std::printf("%-10s %14s %12s %16s\n", "way", "frames/second", "x separate", "mean RMS error");
  for (const auto& [name, way] : {std::pair<const char*, const Way*>{"separate", &separate},
                                  {"sequence", &sequence}, {"temporal", &temporal}})
    std::printf("%-10s %14.2f %12.2f %16.4f\n", name, frames.size() / way->seconds,
                separate.seconds / way->seconds, way->MeanError());
  std::printf("sequence fields identical to separate: %zu of %zu; temporal pair furthest above "
              "its separate match: %zu-%zu, %+.4f of its error\n",
              same, separate.fields.size(), worst, worst + 1, worst_excess);
  return same == separate.fields.size();
}

}  // namespace

int main(int argc, char** argv) {
  gck::MatchOptions options = gck::QualityOptions(gck::Quality::kDefault);
  options.threads = argc > 1 ? std::atoi(argv[1]) : 1;
  std::vector<std::string> folders(argv + std::min(argc, 2), argv + argc);
  if (folders.empty())
    folders = {"build/devset/clip", "build/devset/clip-animation", "build/devset/clip-cut"};
  std::printf("default settings, threads %d (0: every core)\n", options.threads);
  bool identical = true;
  for (const std::string& folder : folders) identical &= MeasureClip(folder, options);
  return identical ? 0 : 1;
}
