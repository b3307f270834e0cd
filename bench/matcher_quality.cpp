// The matcher against the randomized baseline on the development set (bench/devset/make_devset.py),
// patch width 8, one thread. For each pair and as means over the set: time, mean patch error as a
// ratio to the exact nearest neighbours' (measured on a fixed sample of A's anchors), and time as
// a ratio to the baseline's with 5 iterations, for the matcher's default and high-quality settings
// and the baseline at 1, 2, 5 and 8 iterations.
// Run: matcher_quality DEVSET_DIR [pair names...]
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/randomized_baseline.h"
#include "bench/sampled_exact.h"
#include "io/image_file.h"
#include "matcher/matcher.h"

namespace {

using gck::Field;
using gck::Image;

constexpr int32_t kWidth = 8;
constexpr int32_t kSample = 4000;

struct Timed {
  Field field;
  double seconds;
};

// Small pairs run three times and keep the fastest: the machine is shared, and the first run also
// pays first-touch page faults. Large pairs run once.
template <class Run>
Timed Time(Run run, bool small) {
  Timed t{Field(), 1e30};
  for (int i = 0; i < (small ? 3 : 1); ++i) {
    const auto start = std::chrono::steady_clock::now();
    Field field = run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < t.seconds) t = Timed{std::move(field), seconds};
  }
  return t;
}

double SampledMean(const Field& field, const std::vector<uint32_t>& anchors) {
  double sum = 0;
  for (uint32_t p : anchors) sum += field.errors[size_t(p) * field.k];
  return sum / anchors.size();
}

// The exact errors of the sample, kept beside the pair so that later runs skip the search.
std::vector<float> ExactSample(const std::string& cache, const Image& a, const Image& b,
                               const std::vector<uint32_t>& anchors, const Field& hint) {
  std::vector<float> errors(anchors.size());
  std::ifstream in(cache, std::ios::binary);
  if (in.read(reinterpret_cast<char*>(errors.data()), errors.size() * sizeof(float)) &&
      in.peek() == EOF)
    return errors;
  errors = gck::SampledExactErrors(a, b, kWidth, anchors, hint);
  std::ofstream(cache, std::ios::binary)
      .write(reinterpret_cast<const char*>(errors.data()), errors.size() * sizeof(float));
  return errors;
}

struct Method {
  std::string name;
  std::function<Field(const Image&, const Image&)> run;
};

bool Override(const char* text, gck::MatchOptions* options) {
  if (!text) return true;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const int value = eq == std::string::npos ? 0 : std::atoi(item.c_str() + eq + 1);
    if (key == "levels") options->levels = value;
    else if (key == "coarse_passes") options->coarse_passes = value;
    else if (key == "mid_passes") options->mid_passes = value;
    else if (key == "passes") options->passes = value;
    else if (key == "radius") options->radius = value;
    else if (key == "coarse_radius") options->coarse_radius = value;
    else if (key == "kernels") options->kernels = value;
    else if (key == "leaf") options->leaf_size = value;
    else if (key == "good") options->good_enough = value;
    else {
      std::fprintf(stderr, "unknown setting '%s'\n", key.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: matcher_quality DEVSET_DIR [pair...]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::vector<std::string> only(argv + 2, argv + argc);
  std::ifstream listing(dir + "/pairs.txt");
  if (!listing) {
    std::fprintf(stderr, "no %s/pairs.txt: run bench/devset/make_devset.py %s first\n", dir.c_str(),
                 dir.c_str());
    return 1;
  }
  gck::MatchOptions fast;
  fast.width = kWidth;
  fast.threads = 1;
  gck::MatchOptions high = gck::QualityOptions(gck::Quality::kHigh);
  high.width = kWidth;
  high.threads = 1;
  // GCK_FAST and GCK_HIGH ("levels=2,passes=3,...") try other settings without rebuilding.
  if (!Override(std::getenv("GCK_FAST"), &fast) || !Override(std::getenv("GCK_HIGH"), &high))
    return 2;
  std::vector<Method> methods = {
      {"gckmatch", [&](const Image& a, const Image& b) { return gck::MatchImages(a, b, fast); }},
      {"gckmatch-high", [&](const Image& a, const Image& b) { return gck::MatchImages(a, b, high); }},
  };
  // GCK_TUNE set: only the baseline with 5 iterations, the yardstick of every ratio.
  const std::vector<int> iterations_run =
      std::getenv("GCK_TUNE") ? std::vector<int>{5} : std::vector<int>{1, 2, 5, 8};
  for (int iterations : iterations_run)
    methods.push_back({"baseline-" + std::to_string(iterations), [iterations](const Image& a, const Image& b) {
                         return gck::RandomizedBaseline(a, b, kWidth, iterations, 1);
                       }});
  const size_t reference = methods.size() - (iterations_run.size() > 1 ? 2 : 1);  // baseline-5

  std::map<std::string, std::vector<double>> error_ratios, time_ratios, worse_than_reference;
  std::printf("%-18s %-14s %9s %10s %10s\n", "pair", "method", "seconds", "err/exact", "time/base5");
  std::string line;
  while (std::getline(listing, line)) {
    std::istringstream fields(line);
    std::string name, kind, file_a, file_b;
    std::getline(fields, name, '\t');
    std::getline(fields, kind, '\t');
    std::getline(fields, file_a, '\t');
    std::getline(fields, file_b, '\t');
    if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()) continue;
    Image a, b;
    std::string error;
    if (!gck::ReadImage(dir + "/" + file_a, &a, &error) || !gck::ReadImage(dir + "/" + file_b, &b, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    const bool small = a.plane() + b.plane() < 2'000'000;
    std::vector<Timed> results;
    for (const Method& method : methods)
      results.push_back(Time([&] { return method.run(a, b); }, small));
    const std::vector<uint32_t> sample = gck::SampleAnchors(a, kWidth, kSample, 7);
    const std::vector<float> exact =
        ExactSample(dir + "/" + name + ".exact", a, b, sample, results[0].field);
    double floor = 0;
    for (float e : exact) floor += e;
    floor /= exact.size();
    const double reference_ratio = SampledMean(results[reference].field, sample) / floor;
    for (size_t m = 0; m < methods.size(); ++m) {
      const double ratio = SampledMean(results[m].field, sample) / floor;
      const double time = results[m].seconds / results[reference].seconds;
      error_ratios[methods[m].name].push_back(ratio);
      time_ratios[methods[m].name].push_back(time);
      worse_than_reference[methods[m].name].push_back(ratio - reference_ratio);
      std::printf("%-18s %-14s %9.3f %10.4f %10.3f\n", m == 0 ? name.c_str() : "",
                  methods[m].name.c_str(), results[m].seconds, ratio, time);
    }
    std::fflush(stdout);
  }
  std::printf("\nmeans over the set (time/base5: the mean of the per-pair ratios)\n");
  std::printf("%-14s %10s %10s %16s\n", "method", "err/exact", "time/base5", "worst err - base5");
  for (const Method& method : methods) {
    const auto mean = [](const std::vector<double>& v) {
      double s = 0;
      for (double x : v) s += x;
      return v.empty() ? 0 : s / v.size();
    };
    const std::vector<double>& worse = worse_than_reference[method.name];
    std::printf("%-14s %10.4f %10.3f %16.4f\n", method.name.c_str(), mean(error_ratios[method.name]),
                mean(time_ratios[method.name]),
                worse.empty() ? 0 : *std::max_element(worse.begin(), worse.end()));
  }
  return 0;
}
