// Starting from a field, on the development set's pairs (one thread, default setting):
//  - again: the pair matched a second time from its own first field, against the first match;
//  - edited: A with a block of 5 % of its pixels painted over by another part of A (a clone-stamp
//    edit, as synthesis and completion make between two matches), matched from A's field, against
//    a match of the edited A from scratch.
// Time as the ratio of the fresh match's processor time to the warm one's (the methods take turns,
// the fastest of three runs each), error as the mean RMS patch error of the best matches.
// Run: warm_start [DEVSET [--part tune|held|all] [pairs]]  (default build/devset, the held-out
// part; pairs of 1 MP and more are passed over)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/devset.h"
#include "io/image_file.h"
#include "matcher/matcher.h"

namespace {

// A with a square of 5 % of its pixels copied over from the opposite corner of A, turned round.
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
  std::string part = "held";
  std::vector<gck::DevsetPair> pairs;
  if (!gck::PairsOfArguments(argc, argv, folder, &part, &pairs)) return 1;
  std::printf("%s part, default setting, one thread; time: fresh / warm, error: mean RMS\n",
              part.c_str());
  std::printf("%-20s %8s %8s %8s %8s | %8s %8s %8s %8s\n", "pair", "first s", "again x",
              "err 1st", "again", "fresh s", "edited x", "fresh", "edited");
  double again_speed = 0, edited_speed = 0, worst_again = -1, worst_edited = -1, edited_change = 0;
  int measured = 0;
  for (const gck::DevsetPair& pair : pairs) {
    gck::Image a, b;
    std::string error;
    if (!gck::ReadImage(pair.file_a, &a, &error) ||
        !gck::ReadImage(pair.file_b, &b, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    if (a.plane() > 1000000) continue;  // the large pairs would take most of the run
    gck::MatchOptions options = gck::QualityOptions(gck::Quality::kDefault);
    options.threads = 1;
    const gck::Image edited = Edited(a);
    gck::Timed first{gck::Field(), 1e30}, again{gck::Field(), 1e30};
    gck::Timed fresh{gck::Field(), 1e30}, from_a{gck::Field(), 1e30};
    gck::MatchOptions warm = options;
    for (int round = 0; round < 3; ++round) {
      gck::TimeInto([&] { return gck::MatchImages(a, b, options); }, &first);
      warm.start_field = &first.field;
      gck::TimeInto([&] { return gck::MatchImages(a, b, warm); }, &again);
      gck::TimeInto([&] { return gck::MatchImages(edited, b, options); }, &fresh);
      gck::TimeInto([&] { return gck::MatchImages(edited, b, warm); }, &from_a);
    }
    const double e_first = first.field.MeanRmsError(), e_again = again.field.MeanRmsError();
    const double e_fresh = fresh.field.MeanRmsError(), e_edited = from_a.field.MeanRmsError();
    std::printf("%-20s %8.3f %8.2f %8.3f %8.3f | %8.3f %8.2f %8.3f %8.3f\n", pair.name.c_str(),
                first.seconds, first.seconds / again.seconds, e_first, e_again, fresh.seconds,
                fresh.seconds / from_a.seconds, e_fresh, e_edited);
    again_speed += first.seconds / again.seconds;
    edited_speed += fresh.seconds / from_a.seconds;
    worst_again = std::max(worst_again, e_again / e_first - 1);
    worst_edited = std::max(worst_edited, e_edited / e_fresh - 1);
    edited_change += e_edited / e_fresh - 1;
    ++measured;
  }
  if (measured == 0) return 1;
  std::printf("means over %d pairs: again %.2fx as fast, error at worst %+.4f of the first; edited "
              "%.2fx as fast, error %+.4f of the fresh match's in the mean, %+.4f at worst\n",
              measured, again_speed / measured, worst_again, edited_speed / measured,
              edited_change / measured, worst_edited);
  return 0;
}
