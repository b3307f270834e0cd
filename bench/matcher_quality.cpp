// The matcher against the randomized baseline on the development set (bench/devset/make_devset.py),
// patch width 8, one thread. For each pair and as means over the set: time, mean patch error as a
// ratio to the exact nearest neighbours' (measured on a fixed sample of A's anchors), and time as
// a ratio to the baseline's with 5 iterations, for each of the matcher's quality settings and the
// baseline at 1, 2, 5 and 8 iterations.
// Run: matcher_quality DEVSET_DIR [--part tune|held|all] [pair names...]   (default part: held)
// GCK_METHODS="default,base5,..." runs only those methods (base5 always runs: every ratio's
// yardstick); GCK_TRY="[label:]levels=2,passes=3,...;..." adds methods, each the default with
// those changes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/devset.h"
#include "bench/randomized_baseline.h"
#include "bench/sampled_exact.h"
#include "io/image_file.h"
#include "matcher/matcher.h"

namespace {

using gck::Field;
using gck::Image;

constexpr int32_t kWidth = 8;
constexpr int32_t kSample = 4000;

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

double Mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / v.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: matcher_quality DEVSET_DIR [--part tune|held|all] [pair...]\n");
    return 2;
  }
  std::string part = "held";
  std::vector<gck::DevsetPair> pairs;
  if (!gck::PairsOfArguments(argc, argv, argv[1], &part, &pairs)) return 1;
  const char* only = std::getenv("GCK_METHODS");
  const auto wanted = [&](const std::string& name) {
    if (!only || name == "base5") return true;
    const std::string list = std::string(",") + only + ",";
    return list.find("," + name + ",") != std::string::npos;
  };
  std::vector<Method> methods;
  std::string all_names = gck::QualityNames() + "|";
  for (size_t at = 0, bar; (bar = all_names.find('|', at)) != std::string::npos; at = bar + 1) {
    const std::string name = all_names.substr(at, bar - at);
    gck::Quality quality;
    gck::ParseQuality(name, &quality);
    gck::MatchOptions options = gck::QualityOptions(quality);
    options.width = kWidth;
    options.threads = 1;
    if (wanted(name))
      methods.push_back({name, [options](const Image& a, const Image& b) {
                           return gck::MatchImages(a, b, options);
                         }});
  }
  if (const char* text = std::getenv("GCK_TRY")) {
    std::istringstream tries(text);
    std::string entry;
    for (int n = 1; std::getline(tries, entry, ';'); ++n) {
      // "[label:]key=value,...", each a variation of the default.
      const size_t colon = entry.find(':');
      const std::string label =
          colon == std::string::npos ? "try" + std::to_string(n) : entry.substr(0, colon);
      gck::MatchOptions options;
      options.width = kWidth;
      options.threads = 1;
      if (!gck::ApplySettings(entry.substr(colon == std::string::npos ? 0 : colon + 1).c_str(),
                              &options))
        return 2;
      methods.push_back({label, [options](const Image& a, const Image& b) {
                           return gck::MatchImages(a, b, options);
                         }});
    }
  }
  size_t reference = 0;
  for (int iterations : {1, 2, 5, 8}) {
    const std::string name = "base" + std::to_string(iterations);
    if (!wanted(name)) continue;
    if (iterations == 5) reference = methods.size();
    methods.push_back({name, [iterations](const Image& a, const Image& b) {
                         return gck::RandomizedBaseline(a, b, kWidth, iterations, 1);
                       }});
  }

  std::map<std::string, std::vector<double>> error_ratios, time_ratios, worse_than_reference;
  std::printf("part: %s, %zu pairs\n", part.c_str(), pairs.size());
  std::printf("%-20s %-8s %9s %10s %10s\n", "pair", "method", "seconds", "err/exact", "time/base5");
  for (const gck::DevsetPair& pair : pairs) {
    Image a, b;
    std::string error;
    if (!gck::ReadImage(pair.file_a, &a, &error) || !gck::ReadImage(pair.file_b, &b, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    const bool small = a.plane() + b.plane() < 2'000'000;
    std::vector<gck::Timed> results(methods.size(), gck::Timed{Field(), 1e30});
    for (int round = 0; round < gck::Rounds(small); ++round)
      for (size_t m = 0; m < methods.size(); ++m)
        gck::TimeInto([&] { return methods[m].run(a, b); }, &results[m]);
    const std::vector<uint32_t> sample = gck::SampleAnchors(a, kWidth, kSample, 7);
    const std::string cache = std::string(argv[1]) + "/" + pair.name + ".exact";
    const std::vector<float> exact = ExactSample(cache, a, b, sample, results[0].field);
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
      std::printf("%-20s %-8s %9.3f %10.4f %10.3f\n", m == 0 ? pair.name.c_str() : "",
                  methods[m].name.c_str(), results[m].seconds, ratio, time);
    }
    std::fflush(stdout);
  }
  std::printf("\nmeans over the %zu pairs (time/base5: the mean of the per-pair ratios)\n",
              pairs.size());
  std::printf("%-8s %10s %10s %10s %18s %14s\n", "method", "err/exact", "time/base5", "speed",
              "worst err - base5", "pairs > +0.02");
  for (const Method& method : methods) {
    const std::vector<double>& worse = worse_than_reference[method.name];
    const auto beyond =
        std::count_if(worse.begin(), worse.end(), [](double d) { return d > 0.02; });
    const auto worst = std::max_element(worse.begin(), worse.end()) - worse.begin();
    std::printf("%-8s %10.4f %10.3f %10.2f %+11.4f %-6s %14d\n", method.name.c_str(),
                Mean(error_ratios[method.name]), Mean(time_ratios[method.name]),
                1 / Mean(time_ratios[method.name]), worse.empty() ? 0 : worse[worst],
                worse.empty() ? "" : pairs[worst].name.substr(0, 6).c_str(), int(beyond));
  }
  return 0;
}
