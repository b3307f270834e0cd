#pragma once
// The matcher: a nearest-neighbour field between two images (or within one) from Walsh-Hadamard
// projections, hashed codes and propagation sweeps.

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// Defaults and the reasons for them: docs/matcher.md.
struct MatchOptions {
  int32_t width = 8;       // patch side
  int32_t kernels = 8;     // Walsh-Hadamard kernels projected per channel, at most side^2
  int32_t binned = 6;      // leading projection planes that form the codes
  double bin_scale = 0.5;  // bin width in units of each binned plane's spread
  int32_t bits = 16;       // hash table of 2^bits buckets
  int32_t sweeps = 4;      // propagation sweeps, alternately downward and upward, new codes each
  int32_t k = 1;           // matches kept per anchor
  int32_t keep = 1;    // list length the sweeps keep (at least k); the exact error picks from it
  int32_t refine = 2;  // exact propagation passes over the best matches (k = 1 only)
  uint64_t seed = 1;   // the random start; the same seed gives the same field
  bool reciprocal = true;  // within one image: offer every pixel to the lists of its matches
  // Called after the projections (done = 0) and after each sweep: done of total sweeps.
  std::function<void(int32_t done, int32_t total)> progress;
};

// What MatchImages and MatchSelf throw for inputs they cannot match; the message says why.
class MatchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// For every anchor of A, its k best matches among the anchors of B. A grey image matched with a
// colour one is taken as three equal channels. No anchor's best match has a larger error than its
// best random starting match, which `start`, when given, receives.
Field MatchImages(const Image& a, const Image& b, const MatchOptions& options,
                  Field* start = nullptr);

// For every anchor of A, its k nearest other anchors of A (as MatchImages otherwise).
Field MatchSelf(const Image& a, const MatchOptions& options, Field* start = nullptr);

// Checks that match(a, b) (MatchSelf(a) when `self`, with b = a) can run with these options;
// throws MatchError otherwise.
void CheckMatchable(const Image& a, const Image& b, const MatchOptions& options, bool self = false);

}  // namespace gck
