// Starting from a field, on the development set's pairs (one thread, default setting):
//  - again: the pair matched a second time from its own first field, against the first match;
//  - edited: A with a block of 5 % of its pixels painted over by another part of A (a clone-stamp
//    edit, as synthesis and completion make between two matches), matched from A's field, against
//    a match of the edited A from scratch.
// Time as the ratio of the fresh match's time to the warm one's (fastest of three runs each, taken
// in turn), error as the mean RMS patch error of the best matches.
// Run: warm_start [FOLDER]  (default build/devset, made by bench/devset/make_devset.py)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/image_file.h"
#include "matcher/matcher.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timed {
  double seconds = 1e30;
  double error = 0;
  gck::Field field;
};

// The fastest of three runs of the match.
template <class Match>
Timed Fastest(Match match) {
  Timed best;
  for (int run = 0; run < 3; ++run) {
    const Clock::time_point start = Clock::now();
    gck::Field field = match();
    best.seconds =
        std::min(best.seconds, std::chrono::duration<double>(Clock::now() - start).count());
    best.field = std::move(field);
  }
  best.error = best.field.MeanRmsError();
  return best;
}

// A with a square of 5 % of its pixels copied over from the opposite corner of A.
gck::Image Edited(const gck::Image& a) {
  gck::Image out = a;
  const int32_t side = int32_t(std::sqrt(0.05 * a.rows * a.cols));
  const int32_t r0 = a.rows / 3, c0 = a.cols / 3;
  for (int32_t k = 0; k < a.channels; ++k)
    for (int32_t c = 0; c < side; ++c)
      for (int32_t r = 0; r < side; ++r)
        out.at(r0 + r, c0 + c, k) = a.at(a.rows - 1 - r, a.cols - 1 - c, k);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "build/devset";
  std::ifstream list(folder + "/pairs.txt");
  if (!list) {
    std::fprintf(stderr, "no %s/pairs.txt (make it with bench/devset/make_devset.py)\n",
                 folder.c_str());
    return 1;
  }
  std::printf("%-18s %8s %8s %8s %8s | %8s %8s %8s %8s\n", "pair", "first s", "again x",
              "err 1st", "again", "fresh s", "edited x", "fresh", "edited");
  double again_speed = 0, edited_speed = 0, worst_again = 0, worst_edited = 0, mean_edited = 0;
  int pairs = 0;
  for (std::string line; std::getline(list, line);) {
    std::istringstream fields(line);
    std::string name, kind, file_a, file_b;
    std::getline(fields, name, '\t');
    std::getline(fields, kind, '\t');
    std::getline(fields, file_a, '\t');
    std::getline(fields, file_b, '\t');
    gck::Image a, b;
    std::string error;
    if (!gck::ReadImage(folder + "/" + file_a, &a, &error) ||
        !gck::ReadImage(folder + "/" + file_b, &b, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    if (a.plane() > 1000000) continue;  // the large pair would take most of the run
    gck::MatchOptions options = gck::QualityOptions(gck::Quality::kDefault);
    options.threads = 1;
    const Timed first = Fastest([&] { return gck::MatchImages(a, b, options); });
    gck::MatchOptions warm = options;
    warm.start_field = &first.field;
    const Timed again = Fastest([&] { return gck::MatchImages(a, b, warm); });
    const gck::Image edited = Edited(a);
    const Timed fresh = Fastest([&] { return gck::MatchImages(edited, b, options); });
    const Timed from_a = Fastest([&] { return gck::MatchImages(edited, b, warm); });
    std::printf("%-18s %8.3f %8.2f %8.3f %8.3f | %8.3f %8.2f %8.3f %8.3f\n", name.c_str(),
                first.seconds, first.seconds / again.seconds, first.error, again.error,
                fresh.seconds, fresh.seconds / from_a.seconds, fresh.error, from_a.error);
    again_speed += first.seconds / again.seconds;
    edited_speed += fresh.seconds / from_a.seconds;
    worst_again = std::max(worst_again, again.error / first.error - 1);
    worst_edited = std::max(worst_edited, from_a.error / fresh.error - 1);
    mean_edited += from_a.error / fresh.error - 1;
    ++pairs;
  }
  std::printf("mean speed-up: again %.2fx, edited %.2fx; error change (share of the fresh match's): "
              "again at worst %+.4f; edited %+.4f in the mean, %+.4f at worst\n",
              again_speed / pairs, edited_speed / pairs, worst_again, mean_edited / pairs,
              worst_edited);
  return 0;
}
