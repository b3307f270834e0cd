#include "matcher/matcher.h"

#include <omp.h>

#include <algorithm>
#include <thread>
#include <cmath>
#include <string>
#include <vector>

#include "error/patch_error.h"
#include "matcher/interleaved.h"
#include "matcher/kernel_chain.h"
#include "matcher/patch_tree.h"
#include "matcher/projections.h"
#include "matcher/patch_search.h"
#include "matcher/pyramid.h"
#include "matcher/split_mix.h"

namespace gck {
namespace {

// Patch width at a level `level` halvings coarser: the same stretch of image, at least 2 pixels.
int32_t LevelWidth(int32_t width, int32_t level) {
  return std::max(2, (width + (1 << level) - 1) >> level);
}

int32_t ListLength(const MatchOptions& options, bool) { return options.k; }

// How many coarser levels the pair allows: each must leave B enough anchors for the lists and
// keep A's patches inside A.
int32_t CoarseLevels(const Image& a, const Image& b, const MatchOptions& options, bool self) {
  int32_t levels = 0;
  while (levels < options.levels) {
    const int32_t next = levels + 1;
    const int32_t w = LevelWidth(options.width, next);
    if (w >= options.width) break;
    const auto anchors = [&](const Image& image) {
      const int64_t rows = (image.rows >> next) - w + 1, cols = (image.cols >> next) - w + 1;
      return rows > 0 && cols > 0 ? rows * cols : 0;
    };
    if (anchors(a) < 64 || anchors(b) < 64 * int64_t(ListLength(options, self))) break;
    levels = next;
  }
  return levels;
}

// Runs the parallel loops of the calling thread's matches on `threads` threads (0: every hardware
// thread) until it goes out of scope.
class ThreadCount {
 public:
  explicit ThreadCount(int32_t threads) : saved_(omp_get_max_threads()) {
    omp_set_num_threads(threads > 0 ? threads
                                    : std::max(1, int(std::thread::hardware_concurrency())));
  }
  ~ThreadCount() { omp_set_num_threads(saved_); }
  ThreadCount(const ThreadCount&) = delete;
  ThreadCount& operator=(const ThreadCount&) = delete;

 private:
  const int saved_;
};

Field FieldOf(const NeighbourLists& lists, const PatchGrid& a, int32_t k, int32_t width,
              int32_t channels, bool self) {
  Field field;
  field.rows = a.rows;
  field.cols = a.cols;
  field.k = k;
  field.width = width;
  field.channels = channels;
  const size_t entries = field.anchors() * k;
  field.match_rows.resize(entries);
  field.match_cols.resize(entries);
  field.errors.resize(entries);
#pragma omp parallel for schedule(static)
  for (size_t p = 0; p < field.anchors(); ++p) {
    const uint32_t* matches = &lists.matches[p * lists.k];
    const uint32_t* costs = &lists.costs[p * lists.k];
    // Within one image the list is one longer than k, its last entry the spare.
    for (int32_t s = 0; s < k; ++s) {
      field.match_rows[p * k + s] = RowOf(matches[s]);
      field.match_cols[p * k + s] = ColOf(matches[s]);
      field.errors[p * k + s] = static_cast<float>(std::sqrt(static_cast<double>(costs[s])));
    }
  }
  (void)self;
  return field;
}

Field Run(const Image& a_in, const Image& b_in, const MatchOptions& options, bool self,
          Field* start_field) {
  CheckMatchable(a_in, b_in, options, self);
  const ThreadCount thread_count(options.threads);
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const int32_t k = options.k;
  const int32_t levels = CoarseLevels(a_in, b_in, options, self);
  const int32_t total = levels + 1;
  if (options.progress) options.progress(0, total);

  // Level l of each image, l = 0 the full size.
  std::vector<InterleavedImage> pyramid_a(levels + 1), pyramid_b(self ? 0 : levels + 1);
  pyramid_a[0] = Interleave(a_in.channels == channels ? a_in : WithChannels(a_in, channels));
  if (!self) pyramid_b[0] = Interleave(b_in.channels == channels ? b_in : WithChannels(b_in, channels));
  for (int32_t l = 1; l <= levels; ++l) {
    pyramid_a[l] = HalfSize(pyramid_a[l - 1]);
    if (!self) pyramid_b[l] = HalfSize(pyramid_b[l - 1]);
  }
  const std::vector<InterleavedImage>& images_b = self ? pyramid_a : pyramid_b;

  NeighbourLists lists;
  PatchGrid coarse_a;
  for (int32_t l = levels; l >= 0; --l) {
    const int32_t w = l == 0 ? options.width : LevelWidth(options.width, l);
    const int32_t radius = l == levels ? options.coarse_radius : options.radius;
    PatchGrid grid_a = MakeGrid(pyramid_a[l], w, radius >= 0);
    PatchGrid grid_b = self ? PatchGrid() : MakeGrid(images_b[l], w, radius >= 0);
    const PatchGrid& b = self ? grid_a : grid_b;
    const uint64_t level_seed = SplitMix64(options.seed + 0x100 * uint64_t(l)).Next();
    lists = l == levels ? RandomLists(grid_a, b, ListLength(options, self), self, level_seed)
                        : Upsampled(lists, coarse_a, grid_a, b, self, level_seed);
    if (l == 0 && start_field) *start_field = FieldOf(lists, grid_a, k, w, channels, self);
    SearchPlan plan;
    // At full size, a tree over B's projection vectors proposes look-alike patches.
    Projections vectors_a, vectors_b;
    PatchTree tree;
    std::vector<uint32_t> leaf_of_a;
    if (l == 0 && options.kernels > 0) {
      const int32_t side = std::min(KernelSide(options.width), 8);
      const KernelChain chain = SequencyChain(side, std::min(options.kernels, side * side), 1);
      const Image& plain_a = a_in.channels == channels ? a_in : WithChannels(a_in, channels);
      // Each projection is one chain of whole-image passes: A's and B's run side by side.
#pragma omp parallel sections
      {
#pragma omp section
        vectors_a = Project(plain_a, options.width, chain, 0);
#pragma omp section
        if (!self)
          vectors_b = Project(b_in.channels == channels ? b_in : WithChannels(b_in, channels),
                              options.width, chain, 0);
      }
      const Projections* pb = self ? &vectors_a : &vectors_b;
      tree = BuildTree(pb->stack.data(), uint32_t(pb->rows) * uint32_t(pb->cols), pb->values,
                       options.leaf_size);
      for (uint32_t& q : tree.anchors) q = Pack(int32_t(q % uint32_t(pb->rows)), int32_t(q / uint32_t(pb->rows)));
      leaf_of_a.resize(grid_a.anchors());
#pragma omp parallel for schedule(static)
      for (uint32_t p = 0; p < grid_a.anchors(); ++p)
        leaf_of_a[p] = tree.Leaf(&vectors_a.stack[size_t(p) * vectors_a.values]);
      grid_a.vectors = vectors_a.stack.data();
      grid_a.dims = vectors_a.values;
      grid_a.norm = uint32_t(side * side);
      plan.tree = &tree;
      plan.leaf_of_a = leaf_of_a.data();
    }
    plan.passes = l == levels ? options.coarse_passes : l == 0 ? options.passes : options.mid_passes;
    plan.radius = radius;
    plan.self = self;
    plan.seed = level_seed;
    Search(grid_a, b, plan, &lists);
    if (options.progress) options.progress(total - l, total);
    if (l == 0) return FieldOf(lists, grid_a, k, w, channels, self);
    coarse_a = std::move(grid_a);
    // The coarse grid's image stays alive in the pyramid; its sums are no longer needed.
    coarse_a.sums.clear();
    coarse_a.sums.shrink_to_fit();
  }
  return Field();
}

}  // namespace

void CheckMatchable(const Image& a, const Image& b, const MatchOptions& options, bool self) {
  const auto fail = [](const std::string& why) { throw MatchError(why); };
  for (const Image* image : {&a, &b}) {
    if (image->channels != 1 && image->channels != 3) fail("images must have 1 or 3 channels");
    if (image->rows > 65535 || image->cols > 65535)
      fail("images must be at most 65535 pixels high and wide");
    if (options.width > image->rows || options.width > image->cols)
      fail("patch width " + std::to_string(options.width) + " is larger than a " +
           std::to_string(image->cols) + " x " + std::to_string(image->rows) + " image");
  }
  if (options.width < 1 || options.width > MaxPatchWidth(3))
    fail("patch width must lie in 1.." + std::to_string(MaxPatchWidth(3)));
  if (options.passes < 0 || options.coarse_passes < 0 || options.mid_passes < 0 ||
      options.levels < 0)
    fail("the number of sweeps and levels must not be negative");
  if (options.radius < -1 || options.coarse_radius < -1) fail("a search radius must be -1 or more");
  if (options.kernels < 0 || options.leaf_size < 1 || options.threads < 0)
    fail("kernels and threads must not be negative, leaves must hold an anchor");
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
}

MatchOptions QualityOptions(Quality quality) {
  MatchOptions options;
  if (quality == Quality::kHigh) {
    options.levels = 0;
    options.coarse_passes = 2;
    options.coarse_radius = 4;
    options.kernels = 4;
    options.leaf_size = 8;
  }
  return options;
}

Field MatchImages(const Image& a, const Image& b, const MatchOptions& options, Field* start) {
  return Run(a, b, options, false, start);
}

Field MatchSelf(const Image& a, const MatchOptions& options, Field* start) {
  return Run(a, a, options, true, start);
}

}  // namespace gck
