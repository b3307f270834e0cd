// How true the matcher's k-nearest lists are, on the development set (bench/devset/make_devset.py),
// patch width 8, one thread: against the exact k nearest of a fixed sample of 2000 anchors of A
// (brute force), per pair and as means over the set,
//   recall   the share of listed entries that are among the true k nearest (an entry as close as
//            the true k-th is one of them: ties make no difference),
//   rank s   the mean error of the listed s-th entries as a ratio to the exact s-th's, and over
//            all k ranks,
//   zeros    of the true k nearest at distance 0 (exact duplicates), the share listed,
//   time     the time of the k lists as a ratio to the time of k = 1 with the same setting (without
//            the changes GCK_TRY makes, which apply to the k lists only).
// Run: knn_quality DEVSET_DIR [--part tune|held|all] [pair names...]   (default part: held)
// GCK_K (default 4), GCK_SELF=1 (each image of A against itself), GCK_QUALITY (default "default"),
// GCK_TRY="key=value,..." (the k lists with those changes, as in matcher_quality).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/devset.h"
#include "bench/sampled_exact.h"
#include "io/image_file.h"
#include "matcher/matcher.h"

namespace {

using gck::Field;
using gck::Image;

constexpr int32_t kWidth = 8;
constexpr int32_t kSample = 2000;

// The exact costs of the sample, kept beside the pair so that later runs skip the search.
std::vector<uint32_t> ExactCosts(const std::string& cache, const Image& a, const Image& b,
                                 int32_t k, bool self, const std::vector<uint32_t>& anchors,
                                 const Field& hint) {
  std::vector<uint32_t> costs(anchors.size() * k);
  std::ifstream in(cache, std::ios::binary);
  if (in.read(reinterpret_cast<char*>(costs.data()), costs.size() * sizeof(uint32_t)) &&
      in.peek() == EOF)
    return costs;
  costs = gck::SampledExactCosts(a, b, kWidth, k, self, anchors, hint);
  std::ofstream(cache, std::ios::binary)
      .write(reinterpret_cast<const char*>(costs.data()), costs.size() * sizeof(uint32_t));
  return costs;
}

struct Scores {
  double recall = 0;
  std::vector<double> rank_ratio;  // per rank, then over all ranks
  size_t zeros = 0, zeros_found = 0;
};

Scores Score(const Field& field, const std::vector<uint32_t>& anchors,
             const std::vector<uint32_t>& exact) {
  const int32_t k = field.k;
  Scores scores;
  std::vector<double> listed(k + 1), truth(k + 1);
  size_t true_entries = 0;
  for (size_t i = 0; i < anchors.size(); ++i) {
    const uint32_t* e = &exact[i * k];
    size_t listed_zeros = 0, exact_zeros = 0;
    for (int32_t s = 0; s < k; ++s) {
      const double error = field.errors[size_t(anchors[i]) * k + s];
      // Sums of squares below 2^24 are exact in a float's square.
      const double cost = std::round(error * error);
      true_entries += cost <= e[k - 1];
      listed_zeros += cost == 0;
      exact_zeros += e[s] == 0;
      listed[s] += error, truth[s] += std::sqrt(double(e[s]));
      listed[k] += error, truth[k] += std::sqrt(double(e[s]));
    }
    scores.zeros += exact_zeros;
    scores.zeros_found += std::min(listed_zeros, exact_zeros);
  }
  scores.recall = double(true_entries) / double(anchors.size() * k);
  for (int32_t s = 0; s <= k; ++s)
    scores.rank_ratio.push_back(truth[s] > 0 ? listed[s] / truth[s] : 1);
  return scores;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: knn_quality DEVSET_DIR [--part tune|held|all] [pair...]\n");
    return 2;
  }
  std::string part = "held";
  std::vector<gck::DevsetPair> pairs;
  if (!gck::PairsOfArguments(argc, argv, argv[1], &part, &pairs)) return 1;
  const int32_t k = std::getenv("GCK_K") ? std::atoi(std::getenv("GCK_K")) : 4;
  const bool self = std::getenv("GCK_SELF") && std::string(std::getenv("GCK_SELF")) == "1";
  gck::Quality quality = gck::Quality::kDefault;
  if (std::getenv("GCK_QUALITY") && !gck::ParseQuality(std::getenv("GCK_QUALITY"), &quality)) {
    std::fprintf(stderr, "GCK_QUALITY is one of %s\n", gck::QualityNames().c_str());
    return 2;
  }
  gck::MatchOptions options = gck::QualityOptions(quality);
  options.width = kWidth;
  options.threads = 1;
  gck::MatchOptions tried = options;
  if (!gck::ApplySettings(std::getenv("GCK_TRY"), &tried)) return 2;

  std::printf("part: %s, %zu pairs, k = %d%s, quality %s\n", part.c_str(), pairs.size(), k,
              self ? ", each A with itself" : "", gck::SettingName(quality));
  std::printf("%-20s %7s", "pair", "recall");
  for (int32_t s = 1; s <= k; ++s) std::printf("  rank %-3d", s);
  std::printf(" %9s %11s %9s\n", "all", "zeros", "time/k=1");
  double recall_sum = 0, all_sum = 0, time_sum = 0, lowest = 2;
  std::vector<double> rank_sum(k);
  std::string lowest_name;
  size_t zeros = 0, zeros_found = 0;
  for (const gck::DevsetPair& pair : pairs) {
    Image a, b;
    std::string error;
    if (!gck::ReadImage(pair.file_a, &a, &error) ||
        (!self && !gck::ReadImage(pair.file_b, &b, &error))) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    const bool small = a.plane() + (self ? a.plane() : b.plane()) < 2'000'000;
    const auto run = [&](int32_t list) {
      gck::MatchOptions o = list == 1 ? options : tried;
      o.k = list;
      return self ? gck::MatchSelf(a, o) : gck::MatchImages(a, b, o);
    };
    gck::Timed one{Field(), 1e30}, lists{Field(), 1e30};
    for (int round = 0; round < gck::Rounds(small); ++round) {
      gck::TimeInto([&] { return run(1); }, &one);
      gck::TimeInto([&] { return run(k); }, &lists);
    }
    const std::vector<uint32_t> sample = gck::SampleAnchors(a, kWidth, kSample, 11);
    const std::string cache =
        std::string(argv[1]) + "/" + pair.name + (self ? ".self" : "") + ".k" + std::to_string(k);
    const std::vector<uint32_t> exact =
        ExactCosts(cache, a, self ? a : b, k, self, sample, lists.field);
    const Scores scores = Score(lists.field, sample, exact);
    const double time = lists.seconds / one.seconds;
    std::printf("%-20s %7.3f", pair.name.c_str(), scores.recall);
    for (int32_t s = 0; s < k; ++s) std::printf(" %9.4f", scores.rank_ratio[s]);
    std::printf(" %9.4f %5zu/%-5zu %9.2f\n", scores.rank_ratio[k], scores.zeros_found, scores.zeros,
                time);
    std::fflush(stdout);
    recall_sum += scores.recall, all_sum += scores.rank_ratio[k], time_sum += time;
    for (int32_t s = 0; s < k; ++s) rank_sum[s] += scores.rank_ratio[s];
    if (scores.recall < lowest) lowest = scores.recall, lowest_name = pair.name;
    zeros += scores.zeros, zeros_found += scores.zeros_found;
  }
  const double n = double(std::max<size_t>(1, pairs.size()));
  std::printf("\nmeans over the %zu pairs: recall %.3f (lowest %.3f, %s), error / exact",
              pairs.size(), recall_sum / n, lowest, lowest_name.c_str());
  for (int32_t s = 0; s < k; ++s) std::printf(" %.4f", rank_sum[s] / n);
  std::printf(
      ", all ranks %.4f; zero-distance entries found %zu of %zu (%.1f %%); time / k=1 %.2f\n",
      all_sum / n, zeros_found, zeros, zeros ? 100.0 * zeros_found / zeros : 100.0, time_sum / n);
  return 0;
}
