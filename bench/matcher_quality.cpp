// The matcher against the exact search (the accuracy floor) and the randomized baseline (the usual
// alternative) on the bundled pair and on pairs made from it, patch width 8, one thread. Prints
// time and mean RMS patch error of each, their ratios to the exact search and to the baseline, and
// the matcher's error against time over its sweeps. Run: matcher_quality [data folder].
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/randomized_baseline.h"
#include "matcher/exact_search.h"
#include "matcher/matcher.h"
#include "matcher/split_mix.h"
#include "tools/image_file.h"

namespace {

using gck::Field;
using gck::Image;

struct Timed {
  Field field;
  double wall;  // seconds
  double cpu;   // seconds of this process
};

// One untimed run first: the timed one then finds its memory already mapped, as a program that
// matches many pairs does, and page faults (costly on this virtual machine) stay out of the
// figures.
template <class Run>
Timed Time(Run run, bool warm_up = true) {
  if (warm_up) run();
  const auto wall = std::chrono::steady_clock::now();
  const std::clock_t cpu = std::clock();
  Timed t;
  t.field = run();
  t.cpu = double(std::clock() - cpu) / CLOCKS_PER_SEC;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  return t;
}

// `image` moved by (dr, dc) with edges repeated, plus uniform noise of +-amplitude.
Image ShiftedNoisy(const Image& image, int dr, int dc, int amplitude, uint64_t seed) {
  Image out = gck::BlankImage(image.rows, image.cols, image.channels);
  gck::SplitMix64 random(seed);
  for (int k = 0; k < image.channels; ++k)
    for (int c = 0; c < image.cols; ++c)
      for (int r = 0; r < image.rows; ++r) {
        const int rs = std::min(std::max(r - dr, 0), image.rows - 1);
        const int cs = std::min(std::max(c - dc, 0), image.cols - 1);
        const int noise = int(random.Next() % (2 * amplitude + 1)) - amplitude;
        out.at(r, c, k) =
            static_cast<uint8_t>(std::min(255, std::max(0, image.at(rs, cs, k) + noise)));
      }
  return out;
}

// Brightness and contrast changed: 0.85 * v + 30.
Image Relit(const Image& image) {
  Image out = image;
  for (uint8_t& v : out.pixels) v = static_cast<uint8_t>(std::min(255, int(0.85 * v + 30.5)));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string data = argc > 1 ? argv[1] : std::string(GCK_DATA_DIR);
  Image left, right;
  std::string error;
  if (!gck::ReadImage(data + "/motorcycle_left.png", &left, &error) ||
      !gck::ReadImage(data + "/motorcycle_right.png", &right, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  struct Pair {
    const char* name;
    Image a, b;
  };
  const std::vector<Pair> pairs = {
      {"motorcycle left -> right", left, right},
      {"motorcycle right -> left", right, left},
      {"left -> left moved (5,7) + noise 8", left, ShiftedNoisy(left, 5, 7, 8, 3)},
      {"left -> right relit", left, Relit(right)},
  };
  const gck::MatchOptions options;  // the defaults, w = 8
  std::printf("%-36s %-10s %9s %9s %9s %10s %10s\n", "pair", "method", "wall s", "cpu s",
              "mean RMS", "err/exact", "cpu/base");
  for (const Pair& pair : pairs) {
    const Timed exact =
        Time([&] { return gck::ExactSearch(pair.a, pair.b, options.width); }, false);
    const Timed base =
        Time([&] { return gck::RandomizedBaseline(pair.a, pair.b, options.width, 5, 1); });
    const Timed ours = Time([&] { return gck::MatchImages(pair.a, pair.b, options); });
    const double floor = exact.field.MeanRmsError();
    for (const auto& [method, t] : {std::pair<const char*, const Timed&>{"exact", exact},
                                    {"baseline", base},
                                    {"gckmatch", ours}}) {
      std::printf("%-36s %-10s %9.3f %9.3f %9.4f %10.4f %10.3f\n", pair.name, method, t.wall, t.cpu,
                  t.field.MeanRmsError(), t.field.MeanRmsError() / floor, t.cpu / base.cpu);
    }
    if (&pair != &pairs.front()) continue;
    std::printf("\nerror against time over sweeps (%s):\n", pair.name);
    std::printf("%8s %8s %9s %9s %10s %10s\n", "sweeps", "refine", "cpu s", "mean RMS", "err/exact",
                "cpu/base");
    for (int refine : {0, 2}) {
      for (int sweeps : {0, 1, 2, 3, 4, 6, 8, 12}) {
        gck::MatchOptions o = options;
        o.sweeps = sweeps;
        o.refine = refine;
        const Timed t = Time([&] { return gck::MatchImages(pair.a, pair.b, o); });
        std::printf("%8d %8d %9.3f %9.4f %10.4f %10.3f\n", sweeps, refine, t.cpu,
                    t.field.MeanRmsError(), t.field.MeanRmsError() / floor, t.cpu / base.cpu);
      }
    }
    std::printf("\n");
  }
  return 0;
}
