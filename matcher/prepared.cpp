#include "matcher/prepared.h"

#include <algorithm>
#include <cmath>

#include "matcher/kernel_chain.h"
#include "matcher/pyramid.h"
#include "matcher/split_mix.h"

namespace gck {
namespace {

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
  ParallelFor(0, int64_t(entries), 0, [&](int64_t e) {
    field.match_rows[e] = RowOf(lists.matches[e]);
    field.match_cols[e] = ColOf(lists.matches[e]);
    field.errors[e] = static_cast<float>(std::sqrt(static_cast<double>(lists.costs[e])));
  });
  return field;
}

}  // namespace

MatchWatch WatchOf(const MatchOptions& options) { return {options.progress, options.cancelled}; }

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
    // Patch sums serve the random search only.
    const int32_t radius = l == levels ? options.coarse_radius : options.radius;
    out->grids.push_back(MakeGrid(out->pyramid[l], LevelWidth(options.width, l), radius >= 0));
  }
  if (options.kernels > 0) {
    const int32_t side = std::min(KernelSide(options.width), 8);
    const KernelChain chain = SequencyChain(side, std::min(options.kernels, side * side), 1);
    out->vectors = Project(plain, options.width, chain, 0);
    out->norm = side * side;
    if (tree) {
      const Projections& v = out->vectors;
      out->tree = BuildTree(v.stack.data(), uint32_t(v.rows) * uint32_t(v.cols), v.values,
                            options.leaf_size);
      auto& anchors = out->tree.anchors;
      ParallelFor(0, int64_t(anchors.size()), 0, [&](int64_t i) {
        anchors[i] = Pack(int32_t(anchors[i] % uint32_t(v.rows)), int32_t(anchors[i] / uint32_t(v.rows)));
      });
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
    // At full size, the tree over B's vectors proposes look-alike patches.
    if (l == 0 && options.kernels > 0) {
      const Projections& v = a.vectors;
      plan.vectors_a = v.stack.data();
      plan.norm = uint32_t(a.norm);
      plan.good_enough = uint32_t(options.good_enough) * uint32_t(options.width) *
                         uint32_t(options.width) * uint32_t(a.channels);
      plan.tree = &b.tree;
    }
    Search(grid_a, grid_b, plan, &lists);
    ReportProgress(total - l, total);
  }
  return FieldOf(lists, a.grids[0], options.width, a.channels);
}

}  // namespace gck
