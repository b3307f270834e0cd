// How soon a cancelled match stops: a 12 MP pair (the development set's 4 MP render pair mirrored
// out to 4096 x 3072) matched at the high setting, cancelled at several moments of its run, on one
// thread and on every core. The latency runs from the moment `cancelled` starts answering true to
// the moment MatchCancelled reaches the caller, with everything the match held freed: the watcher's
// polling interval, the wait for every thread's next check, and the unwinding.
// Run: cancel_latency [A.png B.png]  (default build/devset/adwaita-4mp_a.png and _b.png, made by
// bench/devset/make_devset.py build/devset)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "io/image_file.h"
#include "matcher/matcher.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// `image` continued by mirroring it to rows x cols: the size of a large photograph, with texture
// everywhere rather than the repeated tiles' seams only.
gck::Image Mirrored(const gck::Image& image, int32_t rows, int32_t cols) {
  gck::Image out = gck::BlankImage(rows, cols, image.channels);
  const auto fold = [](int32_t i, int32_t n) {
    const int32_t period = 2 * n, m = i % period;
    return m < n ? m : period - 1 - m;
  };
  for (int32_t k = 0; k < image.channels; ++k)
    for (int32_t c = 0; c < cols; ++c)
      for (int32_t r = 0; r < rows; ++r)
        out.at(r, c, k) = image.at(fold(r, image.rows), fold(c, image.cols), k);
  return out;
}

// Cancels after `delay` seconds; returns the seconds from then until the match has left.
double CancelAfter(const gck::Image& a, const gck::Image& b, gck::MatchOptions options,
                   double delay) {
  std::atomic<bool> stop{false};
  Clock::time_point asked{};
  options.cancelled = [&] { return stop.load(); };
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    asked = Clock::now();
    stop = true;
  });
  double latency = -1;
  try {
    gck::MatchImages(a, b, options);
  } catch (const gck::MatchCancelled&) {
    latency = 0;
  }
  const Clock::time_point left = Clock::now();
  canceller.join();
  return latency < 0 ? -1 : std::chrono::duration<double>(left - asked).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 1 && argc != 3) {
    std::fprintf(stderr, "usage: cancel_latency [A.png B.png]\n");
    return 2;
  }
  const std::string path_a = argc == 3 ? argv[1] : "build/devset/adwaita-4mp_a.png";
  const std::string path_b = argc == 3 ? argv[2] : "build/devset/adwaita-4mp_b.png";
  gck::Image a, b;
  std::string error;
  if (!gck::ReadImage(path_a, &a, &error) || !gck::ReadImage(path_b, &b, &error)) {
    std::fprintf(stderr, "%s\n(make the pair with bench/devset/make_devset.py build/devset)\n",
                 error.c_str());
    return 1;
  }
  a = Mirrored(a, 3072, 4096);
  b = Mirrored(b, 3072, 4096);
  std::printf("%d x %d pixels, high setting; latency from cancel to the caller, in seconds\n",
              a.cols, a.rows);
  std::printf("%8s %10s %s\n", "threads", "match", "latency at 5 %, 25 %, 50 %, 75 %, 95 % of it");
  double worst = 0;
  for (const int threads : {1, 0}) {
    gck::MatchOptions options = gck::QualityOptions(gck::Quality::kHigh);
    options.threads = threads;
    const Clock::time_point start = Clock::now();
    gck::MatchImages(a, b, options);
    const double seconds = Since(start);
    std::printf("%8s %10.2f", threads == 0 ? "every" : "1", seconds);
    for (const double share : {0.05, 0.25, 0.5, 0.75, 0.95}) {
      const double latency = CancelAfter(a, b, options, share * seconds);
      if (latency < 0) {
        std::printf(" %8s", "finished");
      } else {
        std::printf(" %8.3f", latency);
        worst = std::max(worst, latency);
      }
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  std::printf("worst latency: %.3f s\n", worst);
  return 0;
}
