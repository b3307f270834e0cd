// The matcher on every core: MatchImages on a 4 MP pair with 1, 2 and every hardware thread, the
// wall time, the speed-up over one thread and whether each field equals the one-thread field.
// Below, the stages as seen from outside the matcher: the preparation of A, of B and of the tree
// over B's vectors (timed on their own through matcher/prepared.h) and the search of each level
// (between the progress calls, the coarsest one less the preparations). A stage whose time does not
// fall with more threads runs serially; the estimate from the two-thread times (Amdahl: a share f
// that is serial gives a speed-up of 1 / (f + (1 - f) / 2)) is printed per stage and in all.
// Run: thread_scaling [A.png B.png]  (default build/devset/adwaita-4mp_a.png and _b.png, made by
// bench/devset/make_devset.py build/devset)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "io/image_file.h"
#include "matcher/matcher.h"
#include "matcher/prepared.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool SameField(const gck::Field& x, const gck::Field& y) {
  return x.rows == y.rows && x.cols == y.cols && x.k == y.k && x.match_rows == y.match_rows &&
         x.match_cols == y.match_cols && x.errors == y.errors;
}

struct Run {
  int threads;
  double seconds;
  std::vector<double> stages;  // seconds of each stage, named in StageNames
  gck::Field field;
};

std::vector<std::string> StageNames(int32_t levels) {
  std::vector<std::string> names = {"prepare A", "prepare B", "tree over B"};
  for (int32_t l = levels; l >= 0; --l)
    names.push_back(l == 0 ? "search, full size" : "search, level " + std::to_string(l));
  names.push_back("the rest");  // checks, the field's layout, freeing the prepared images
  return names;
}

Run Measure(const gck::Image& a, const gck::Image& b, int threads) {
  gck::MatchOptions options = gck::QualityOptions(gck::Quality::kDefault);
  options.threads = threads;
  std::vector<double> marks;  // seconds from the start at each progress call
  const Clock::time_point start = Clock::now();
  options.progress = [&](int32_t, int32_t) { marks.push_back(Since(start)); };
  Run run{threads, 0, {}, gck::MatchImages(a, b, options)};
  run.seconds = Since(start);
  options.progress = nullptr;

  // The preparations again, on their own.
  const int32_t channels = std::max(a.channels, b.channels);
  const int32_t levels = gck::CoarseLevels(a.rows, a.cols, b.rows, b.cols, options);
  const auto time_prepare = [&](const gck::Image& image, bool tree) {
    const Clock::time_point begin = Clock::now();
    gck::RunOnTeam(threads, {},
                   [&] { gck::Prepare(image, channels, options, {levels, true, true, tree}); });
    return Since(begin);
  };
  const double prepare_a = time_prepare(a, false);
  const double prepare_b = time_prepare(b, false);
  const double tree = time_prepare(b, true) - prepare_b;
  run.stages = {prepare_a, prepare_b, tree};
  // Progress reaches this thread a moment after the lead posts it: close enough for stages.
  // marks[0] comes before the preparations, marks[1] after the coarsest level.
  for (size_t m = 1; m < marks.size(); ++m) {
    double seconds = marks[m] - marks[m - 1];
    if (m == 1) seconds -= prepare_a + prepare_b + tree;
    run.stages.push_back(seconds);
  }
  run.stages.push_back(run.seconds - (marks.back() - marks.front()));
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 1 && argc != 3) {
    std::fprintf(stderr, "usage: thread_scaling [A.png B.png]\n");
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
  const int all = std::max(1, int(std::thread::hardware_concurrency()));
  std::vector<int> counts = {1, 2};
  if (all > 2) counts.push_back(all);
  std::printf("%d x %d and %d x %d pixels, default settings, %d hardware threads\n", a.cols, a.rows,
              b.cols, b.rows, all);

  std::vector<Run> runs;
  for (int threads : counts) runs.push_back(Measure(a, b, threads));
  bool identical = true;
  std::printf("\n%8s %10s %9s %16s\n", "threads", "seconds", "speed-up", "field as with 1");
  for (const Run& run : runs) {
    const bool same = SameField(run.field, runs[0].field);
    identical &= same;
    std::printf("%8d %10.3f %9.2f %16s\n", run.threads, run.seconds,
                runs[0].seconds / run.seconds, same ? "identical" : "DIFFERENT");
  }

  const std::vector<std::string> names = StageNames(int32_t(runs[0].stages.size()) - 5);
  std::printf("\n%-18s", "stage (seconds)");
  for (const Run& run : runs) std::printf(" %9d", run.threads);
  std::printf(" %12s %14s\n", "speed-up 2", "serial share");
  double serial = 0;
  for (size_t s = 0; s < names.size(); ++s) {
    std::printf("%-18s", names[s].c_str());
    for (const Run& run : runs) std::printf(" %9.3f", run.stages[s]);
    const double one = runs[0].stages[s], two = runs[1].stages[s];
    const double speed_up = two > 0 ? one / two : 0;
    // The serial share of this stage, clipped to [0, 1]: timing noise can push it past either end.
    const double share = std::clamp(speed_up > 0 ? 2 / speed_up - 1 : 1.0, 0.0, 1.0);
    serial += share * one;
    std::printf(" %12.2f %13.1f%%\n", speed_up, 100 * share * one / runs[0].seconds);
  }
  std::printf("estimated serial share of the one-thread time: %.1f%% (at most %.1f x on any number "
              "of threads)\n",
              100 * serial / runs[0].seconds, serial > 0 ? runs[0].seconds / serial : 0.0);
  return identical ? 0 : 1;
}
