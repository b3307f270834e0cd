// Matching along a video: frames per second of SequenceMatcher, which reads and prepares every
// frame once, against a separate MatchImages per pair, which reads both frames of every pair as
// separate runs of the command do (PNG decoding included in both), with every field checked equal.
// Run: sequence_rate [FOLDER [THREADS]]  (default build/devset/clip, made by
// bench/devset/make_devset.py build/devset, and 0 threads: every core)
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

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3) {
    std::fprintf(stderr, "usage: sequence_rate [FOLDER [THREADS]]\n");
    return 2;
  }
  const std::string folder = argc > 1 ? argv[1] : "build/devset/clip";
  std::vector<std::string> frames;
  std::string error;
  if (!gck::ListFrames({folder}, &frames, &error) || frames.size() < 2) {
    std::fprintf(stderr, "%s\n(make the clip with bench/devset/make_devset.py build/devset)\n",
                 error.empty() ? "fewer than two frames" : error.c_str());
    return 1;
  }
  gck::MatchOptions options = gck::QualityOptions(gck::Quality::kDefault);
  options.threads = argc > 2 ? std::atoi(argv[2]) : 0;

  // Each way runs three times, in turn, and keeps its fastest run: the machine is shared.
  std::vector<gck::Field> separate;
  size_t same = 0;
  double separate_seconds = 1e30, sequence_seconds = 1e30;
  for (int round = 0; round < 3; ++round) {
    separate.clear();
    Clock::time_point start = Clock::now();
    for (size_t i = 0; i + 1 < frames.size(); ++i)
      separate.push_back(gck::MatchImages(Read(frames[i]), Read(frames[i + 1]), options));
    separate_seconds = std::min(separate_seconds, Since(start));

    same = 0;
    start = Clock::now();
    gck::SequenceMatcher sequence(options);
    for (size_t i = 0; i < frames.size(); ++i) {
      const std::optional<gck::Field> field = sequence.Add(Read(frames[i]));
      if (field) same += SameField(*field, separate[i - 1]);
    }
    sequence_seconds = std::min(sequence_seconds, Since(start));
  }

  const gck::Image first = Read(frames[0]);
  std::printf("%zu frames of %d x %d pixels, default settings, threads %d (0: every core)\n",
              frames.size(), first.cols, first.rows, options.threads);
  std::printf("%-26s %9s %14s\n", "", "seconds", "frames/second");
  std::printf("%-26s %9.3f %14.2f\n", "separate pairs", separate_seconds,
              frames.size() / separate_seconds);
  std::printf("%-26s %9.3f %14.2f\n", "sequence", sequence_seconds,
              frames.size() / sequence_seconds);
  std::printf("sequence / separate frame rate: %.2f; fields identical: %zu of %zu\n",
              separate_seconds / sequence_seconds, same, separate.size());
  return same == separate.size() ? 0 : 1;
}
