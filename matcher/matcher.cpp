#include "matcher/matcher.h"

#include <algorithm>
#include <string>
#include <vector>

#include "error/patch_error.h"
#include "matcher/prepared.h"
#include "matcher/thread_team.h"

namespace gck {
namespace {

Field Run(const Image& a, const Image& b, const MatchOptions& options, bool self, Field* start) {
  CheckMatchable(a, b, options, self);
  CheckPixels(a);
  CheckPixels(b);
  const int32_t channels = std::max(a.channels, b.channels);
  const int32_t levels = CoarseLevels(a.rows, a.cols, b.rows, b.cols, options);
  // From a start field, no coarse level is made, and the vectors only when an anchor needs them.
  const bool warm = options.start_field != nullptr;
  Field field;
  RunOnTeam(TeamSize(options.threads, a.plane() + (self ? 0 : b.plane())), WatchOf(options), [&] {
    ReportProgress(0, warm ? 1 : levels + 1);
    const int32_t tree_level = TreeLevel(levels, b.rows, b.cols, options);
    const PrepareFor for_a{levels, tree_level, !warm, !warm, self && !warm};
    const PrepareFor for_b{levels, tree_level, !warm, !warm, !warm};
    const std::unique_ptr<PreparedImage> prepared_a = Prepare(a, channels, options, for_a);
    const std::unique_ptr<PreparedImage> prepared_b =
        self ? nullptr : Prepare(b, channels, options, for_b);
    field = MatchPrepared(*prepared_a, self ? *prepared_a : *prepared_b, options, self, start);
  });
  return field;
}

// A start field must be one of A's anchors at this width, each entry an anchor of B.
void CheckStartField(const Field& start, const Image& a, const Image& b, int32_t width) {
  const int32_t rows = a.rows - width + 1, cols = a.cols - width + 1;
  if (start.rows != rows || start.cols != cols)
    throw MatchError("the start field has " + std::to_string(start.cols) + " x " +
                     std::to_string(start.rows) + " anchors, A has " + std::to_string(cols) +
                     " x " + std::to_string(rows) + " at width " + std::to_string(width));
  const size_t entries = start.anchors() * size_t(std::max(start.k, 0));
  if (start.k < 1 || start.k > 1024 || start.match_rows.size() != entries ||
      start.match_cols.size() != entries)
    throw MatchError("the start field must hold 1 to 1024 matches for every anchor");
  const int32_t rows_b = b.rows - width + 1, cols_b = b.cols - width + 1;
  for (size_t e = 0; e < entries; ++e)
    if (start.match_rows[e] < 0 || start.match_rows[e] >= rows_b || start.match_cols[e] < 0 ||
        start.match_cols[e] >= cols_b) {
      const size_t p = e / size_t(start.k);
      throw MatchError("the start field's match (" + std::to_string(start.match_rows[e]) + ", " +
                       std::to_string(start.match_cols[e]) + ") of anchor (" +
                       std::to_string(p % size_t(rows)) + ", " + std::to_string(p / size_t(rows)) +
                       ") is not an anchor of B, whose anchors are " + std::to_string(cols_b) +
                       " x " + std::to_string(rows_b));
    }
}

}  // namespace

void CheckPixels(const Image& image) {
  if (image.rows < 0 || image.cols < 0 || image.pixels.size() != image.plane() * image.channels)
    throw MatchError("a " + std::to_string(image.cols) + " x " + std::to_string(image.rows) +
                     " image of " + std::to_string(image.channels) + " channels holds " +
                     std::to_string(image.pixels.size()) + " bytes of pixels, not one per pixel "
                     "and channel");
}

void CheckMatchable(const Image& a, const Image& b, const MatchOptions& options, bool self) {
  const auto fail = [](const std::string& why) { throw MatchError(why); };
  const auto within = [&](int32_t value, int32_t low, int32_t high, const char* name) {
    if (value < low || value > high)
      fail(std::string(name) + " must lie in " + std::to_string(low) + ".." +
           std::to_string(high) + ", not " + std::to_string(value));
  };
  for (const Image* image : {&a, &b}) {
    if (image->channels != 1 && image->channels != 3) fail("images must have 1 or 3 channels");
    if (image->rows < 0 || image->cols < 0)
      fail("an image cannot be " + std::to_string(image->cols) + " x " +
           std::to_string(image->rows) + " pixels");
    if (image->rows > 65535 || image->cols > 65535)
      fail("images must be at most 65535 pixels high and wide");
    if (options.width > image->rows || options.width > image->cols)
      fail("patch width " + std::to_string(options.width) + " is larger than a " +
           std::to_string(image->cols) + " x " + std::to_string(image->rows) + " image");
  }
  if (options.width < 1 || options.width > MaxPatchWidth(3))
    fail("patch width must lie in 1.." + std::to_string(MaxPatchWidth(3)));
  // Bounds well past any useful setting, so that no setting runs without end.
  within(options.levels, 0, 16, "levels");
  within(options.passes, 0, kMostPasses, "passes");
  within(options.coarse_passes, 0, kMostPasses, "coarse passes");
  within(options.mid_passes, 0, kMostPasses, "mid passes");
  within(options.radius, -1, 65535, "the search radius");
  within(options.coarse_radius, -1, 65535, "the coarse search radius");
  within(options.kernels, 0, 64, "kernels");
  within(options.leaf_size, 1, 4096, "the leaf size");
  if (options.threads < 0 || options.threads > kMaxThreads)
    fail("threads must lie in 0.." + std::to_string(kMaxThreads) + " (0: every core)");
  within(options.tree_level, 0, 16, "the tree level");
  within(options.tree_anchors, 0, 2147483647, "the tree's anchors");
  within(options.tree_step, 1, 8, "the tree step");
  within(options.entry_leaves, 0, 8, "the matches whose leaves are visited");
  within(options.leaf_tries, 0, 32, "leaf tries");
  within(options.good_enough, 0, 255 * 255, "the good-enough difference");
  if (options.k < 1 || options.k > 64) fail("k must lie in 1..64");
  // k distinct matches, and within one image none is the anchor itself.
  const uint64_t anchors_b = uint64_t(b.rows - options.width + 1) * (b.cols - options.width + 1);
  if (anchors_b < uint64_t(options.k) + (self ? 1 : 0))
    fail("too few patches for k = " + std::to_string(options.k));
  // Projections index the padded channel planes of an image with 32-bit numbers.
  for (const Image* image : {&a, &b})
    if ((uint64_t(image->rows) + 16) * (uint64_t(image->cols) + 16) * 3 >= (uint64_t{1} << 31))
      fail("images are too large");
  const uint64_t anchors_a = uint64_t(a.rows - options.width + 1) * (a.cols - options.width + 1);
  if (anchors_a * uint64_t(options.k) >= (uint64_t{1} << 31)) fail("images are too large");
  if (options.start_field) CheckStartField(*options.start_field, a, b, options.width);
}

MatchOptions QualityOptions(Quality quality) {
  MatchOptions options;
  switch (quality) {
    case Quality::kFast:
      options.radius = 1;
      options.tree_step = 2;
      break;
    case Quality::kDefault:
      break;
    case Quality::kHigh:
      options.coarse_passes = 2;
      options.passes = 4;
      options.radius = 4;
      options.kernels = 4;
      options.leaf_size = 8;
      options.good_enough = 0;
      break;
    case Quality::kBest:
      options.coarse_radius = 0;
      options.radius = 4;
      options.kernels = 4;
      options.leaf_size = 8;
      options.good_enough = 0;
      options.tree_level = 0;
      options.tree_anchors = 0;
      break;
  }
  return options;
}

const char* SettingName(Quality quality) {
  switch (quality) {
    case Quality::kFast: return "fast";
    case Quality::kDefault: return "default";
    case Quality::kHigh: return "high";
    case Quality::kBest: return "best";
  }
  return "default";
}

bool ParseQuality(const std::string& name, Quality* quality) {
  for (Quality q : kQualities)
    if (name == SettingName(q)) {
      *quality = q;
      return true;
    }
  return false;
}

std::string QualityNames() {
  std::string names;
  for (Quality q : kQualities) names += (names.empty() ? "" : "|") + std::string(SettingName(q));
  return names;
}

Field MatchImages(const Image& a, const Image& b, const MatchOptions& options, Field* start) {
  return Run(a, b, options, false, start);
}

Field MatchSelf(const Image& a, const MatchOptions& options, Field* start) {
  return Run(a, a, options, true, start);
}

}  // namespace gck
