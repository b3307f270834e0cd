// How close MatchMemory's estimate lies above what a match really takes: each match runs in a
// child process, whose peak resident memory the parent reads when it ends, for grey and colour
// pairs, every setting, k = 1, 4 and 16, and a match within one image. The estimate must stay above
// every measured peak; how far above says how much memory a refusal may leave unused.
// Run: memory_estimate [rows cols]  (default 1500 x 2000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "matcher/matcher.h"
#include "tests/matcher/scenes.h"

namespace {

// The peak resident memory, in bytes, of a child that runs `match` and ends.
template <class Match>
double PeakOf(Match match) {
  const pid_t child = fork();
  if (child == 0) {
    match();
    _exit(0);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss * 1024.0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 2 ? std::atoi(argv[1]) : 1500, cols = argc > 2 ? std::atoi(argv[2]) : 2000;
  std::mt19937 rng(7);
  std::printf("%d x %d pixels per image, 2 threads; MB, and the estimate over the peak\n", cols, rows);
  std::printf("%-8s %-8s %3s %5s %9s %9s %6s\n", "images", "setting", "k", "self", "peak", "estimate",
              "ratio");
  double lowest = 1e9, highest = 0;
  for (const int channels : {1, 3}) {
    const gck::Image a = gck::Scene(rng, rows, cols, channels);
    const gck::Image b = gck::Moved(rng, a, 3, 7, 10);
    for (const gck::Quality quality : gck::kQualities)
      for (const int k : {1, 4, 16})
        for (const bool self : {false, true}) {
          if (self && k == 16) continue;
          gck::MatchOptions options = gck::QualityOptions(quality);
          options.k = k;
          options.threads = 2;
          const double peak = PeakOf([&] {
            if (self) gck::MatchSelf(a, options);
            else gck::MatchImages(a, b, options);
          });
          const double estimate = double(gck::MatchMemory(a, b, options, self));
          const double ratio = estimate / peak;
          lowest = std::min(lowest, ratio), highest = std::max(highest, ratio);
          std::printf("%-8s %-8s %3d %5s %9.0f %9.0f %6.2f\n", channels == 1 ? "grey" : "colour",
                      gck::SettingName(quality), k, self ? "yes" : "no",
                      peak / (1 << 20), estimate / (1 << 20), ratio);
        }
  }
  std::printf("estimate / peak: %.2f to %.2f%s\n", lowest, highest,
              lowest < 1 ? "  -- BELOW A PEAK: the estimate must grow" : "");
  return lowest < 1;
}
