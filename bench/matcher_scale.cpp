// The matcher's cost against image size: one pair (bench/devset/make_devset.py --scale writes one
// photograph's pair at 0.1 to 12 MP), patch width 8, one thread, the default setting. Prints the
// processor time per patch of A, the same for the randomized baseline with 5 iterations and the
// ratio of the two, the mean error of both, and the peak resident memory of the match (this
// process's, taken before the baseline runs: the images as read, the matcher's work and the
// field) in bytes per pixel of A and B together. Run once per pair, in a fresh process:
//   matcher_scale A.png B.png [--no-baseline]
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "bench/devset.h"
#include "bench/randomized_baseline.h"
#include "io/image_file.h"
#include "matcher/matcher.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: matcher_scale A.png B.png [--no-baseline]\n");
    return 2;
  }
  gck::Image a, b;
  std::string error;
  if (!gck::ReadImage(argv[1], &a, &error) || !gck::ReadImage(argv[2], &b, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const bool baseline = !(argc > 3 && std::string(argv[3]) == "--no-baseline");
  gck::MatchOptions options = gck::QualityOptions(gck::Quality::kDefault);
  options.threads = 1;
  const bool small = a.plane() + b.plane() < 2'000'000;
  const gck::Timed match = gck::Time([&] { return gck::MatchImages(a, b, options); }, small);
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  const double pixels = double(a.plane() + b.plane());
  const double patches = double(match.field.anchors());
  std::printf("%-24s %6.2f MP  matcher %8.3f s %6.3f us/patch  error %.4f  peak %.1f bytes/pixel",
              argv[1], pixels / 2e6, match.seconds, 1e6 * match.seconds / patches,
              match.field.MeanRmsError(), double(usage.ru_maxrss) * 1024 / pixels);
  if (baseline) {
    const gck::Timed base =
        gck::Time([&] { return gck::RandomizedBaseline(a, b, 8, 5, 1); }, small);
    std::printf("  base-5 %8.3f s %6.3f us/patch  error %.4f  time/base-5 %.3f", base.seconds,
                1e6 * base.seconds / patches, base.field.MeanRmsError(),
                match.seconds / base.seconds);
  }
  std::printf("\n");
  return 0;
}
