#include "matcher/prepared.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "matcher/kernel_chain.h"
#include "matcher/pyramid.h"
#include "matcher/split_mix.h"

namespace gck {
namespace {

// Patches of at most this many bytes are copied into the tree beside their vectors.
constexpr int32_t kMaxCopiedPatch = 64;

// Random search within this many pixels goes without the patch sums' bound.
constexpr int32_t kLocalRadius = 16;

// Patch width `level` halvings coarser: the same stretch of image, at least 2 pixels.
int32_t LevelWidth(int32_t width, int32_t level) {
  return level == 0 ? width : std::max(2, (width + (1 << level) - 1) >> level);
}

Field FieldOf(const NeighbourLists& lists, const PatchGrid& a, int32_t width, int32_t channels) {
  Field field;
  field.rows = a.rows;
  field.cols = a.cols;
  field.k = lists.k;
  field.width = width;
  field.channels = channels;
  const size_t entries = field.anchors() * lists.k;
  field.match_rows.resize(entries);
  field.match_cols.resize(entries);
  field.errors.resize(entries);
#pragma omp parallel for schedule(static)
  for (size_t e = 0; e < entries; ++e) {
    field.match_rows[e] = RowOf(lists.matches[e]);
    field.match_cols[e] = ColOf(lists.matches[e]);
    field.errors[e] = static_cast<float>(std::sqrt(static_cast<double>(lists.costs[e])));
  }
  return field;
}

}  // namespace

ThreadCount::ThreadCount(int32_t threads) : saved_(omp_get_max_threads()) {
  omp_set_num_threads(threads > 0 ? threads : std::max(1, int(std::thread::hardware_concurrency())));
}

ThreadCount::~ThreadCount() { omp_set_num_threads(saved_); }

int32_t CoarseLevels(int32_t rows_a, int32_t cols_a, int32_t rows_b, int32_t cols_b,
                     const MatchOptions& options) {
  int32_t levels = 0;
  while (levels < options.levels) {
    const int32_t next = levels + 1;
    const int32_t w = LevelWidth(options.width, next);
    if (w >= options.width) break;
    const auto anchors = [&](int32_t rows, int32_t cols) {
      const int64_t r = (rows >> next) - w + 1, c = (cols >> next) - w + 1;
      return r > 0 && c > 0 ? r * c : 0;
    };
    if (anchors(rows_a, cols_a) < 64 || anchors(rows_b, cols_b) < 64 * int64_t(options.k + 1))
      break;
    levels = next;
  }
  return levels;
}

std::unique_ptr<PreparedImage> Prepare(const Image& image, int32_t channels, int32_t levels,
                                       const MatchOptions& options, bool tree) {
  auto out = std::make_unique<PreparedImage>();
  out->rows = image.rows;
  out->cols = image.cols;
  out->channels = channels;
  const Image converted = image.channels == channels ? Image() : WithChannels(image, channels);
  const Image& plain = image.channels == channels ? image : converted;
  out->pyramid.resize(levels + 1);
  out->pyramid[0] = Interleave(plain);
  for (int32_t l = 1; l <= levels; ++l) out->pyramid[l] = HalfSize(out->pyramid[l - 1]);
  out->grids.reserve(levels + 1);
  for (int32_t l = 0; l <= levels; ++l) {
    // Patch sums serve the random search only, and only a wide one: candidates close to the best
    // match are rarely ruled out by them.
    const int32_t radius = l == levels ? options.coarse_radius : options.radius;
    out->grids.push_back(MakeGrid(out->pyramid[l], LevelWidth(options.width, l),
                                  radius == 0 || radius > kLocalRadius));
  }
  if (options.kernels > 0) {
    const int32_t level = std::min(options.tree_level, levels);
    const int32_t width = LevelWidth(options.width, level);
    const int32_t side = std::min(KernelSide(width), 8);
    const KernelChain chain = SequencyChain(side, std::min(options.kernels, side * side), 1);
    out->vectors = Project(level == 0 ? plain : Deinterleave(out->pyramid[level]), width, chain, 0);
    out->norm = side * side;
    if (tree) {
      const Projections& v = out->vectors;
      // Every tree_step-th column: propagation reaches the columns between.
      const int32_t step = std::max(1, options.tree_step);
      const int32_t tree_cols = (v.cols + step - 1) / step;
      const size_t column_values = size_t(v.rows) * v.values;
      UninitializedVector<int16_t> subset(step > 1 ? column_values * tree_cols : 0);
#pragma omp parallel for schedule(static)
      for (int32_t c = 0; c < (step > 1 ? tree_cols : 0); ++c)
        std::copy_n(&v.stack[size_t(c) * step * column_values], column_values, &subset[c * column_values]);
      out->tree = BuildTree(step > 1 ? subset.data() : v.stack.data(),
                            uint32_t(v.rows) * uint32_t(tree_cols), v.values, options.leaf_size);
      out->tree.rows = v.rows;
      out->tree.col_step = step;
      auto& anchors = out->tree.anchors;
#pragma omp parallel for schedule(static)
      for (size_t i = 0; i < anchors.size(); ++i)
        anchors[i] = Pack(int32_t(anchors[i] % uint32_t(v.rows)), int32_t(anchors[i] / uint32_t(v.rows)) * step);
      // Small patches are copied in leaf order: a leaf's members are then read from one place
      // instead of one cache line per column of each.
      const InterleavedImage& image = out->pyramid[level];
      const int32_t column_bytes = width * channels;
      if (width * column_bytes <= kMaxCopiedPatch) {
        PatchTree& t = out->tree;
        t.patch_bytes = width * column_bytes;
        t.patches.resize(anchors.size() * t.patch_bytes);
#pragma omp parallel for schedule(static)
        for (size_t i = 0; i < anchors.size(); ++i)
          for (int32_t dc = 0; dc < width; ++dc)
            std::copy_n(image.at(RowOf(anchors[i]), ColOf(anchors[i]) + dc), column_bytes,
                        &t.patches[i * t.patch_bytes + dc * column_bytes]);
      }
    }
  }
  return out;
}

Field MatchPrepared(const PreparedImage& a, const PreparedImage& b, int32_t levels,
                    const MatchOptions& options, bool self, Field* start) {
  const int32_t total = levels + 1;
  NeighbourLists lists;
  for (int32_t l = levels; l >= 0; --l) {
    const PatchGrid& grid_a = a.grids[l];
    const PatchGrid& grid_b = b.grids[l];
    const uint64_t level_seed = SplitMix64(options.seed + 0x100 * uint64_t(l)).Next();
    lists = l == levels ? RandomLists(grid_a, grid_b, options.k, self, level_seed)
                        : Upsampled(lists, a.grids[l + 1], grid_a, grid_b, self, level_seed);
    if (l == 0 && start) *start = FieldOf(lists, grid_a, options.width, a.channels);
    SearchPlan plan;
    plan.passes = l == levels ? options.coarse_passes : l == 0 ? options.passes : options.mid_passes;
    plan.radius = l == levels ? options.coarse_radius : options.radius;
    plan.self = self;
    plan.seed = level_seed;
    // At the tree's level, the tree over B's vectors proposes look-alike patches.
    if (l == std::min(options.tree_level, levels) && options.kernels > 0) {
      const Projections& v = a.vectors;
      plan.vectors_a = v.stack.data();
      plan.norm = uint32_t(a.norm);
      plan.good_enough = uint32_t(options.good_enough) * uint32_t(grid_a.width) *
                         uint32_t(grid_a.width) * uint32_t(a.channels);
      plan.tree = &b.tree;
      plan.tries = options.tries;
    }
    Search(grid_a, grid_b, plan, &lists);
    if (options.progress) options.progress(total - l, total);
  }
  return FieldOf(lists, a.grids[0], options.width, a.channels);
}

}  // namespace gck
