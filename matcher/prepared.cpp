#include "matcher/prepared.h"

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <cmath>

#include "matcher/exact_copies.h"
#include "matcher/kernel_chain.h"
#include "matcher/pyramid.h"
#include "matcher/split_mix.h"

namespace gck {
namespace {

// Patches of at most this many bytes are copied into the tree beside their vectors.
constexpr int32_t kMaxCopiedPatch = 64;

// Random search within this many pixels goes without the patch sums' bound: candidates close to
// the best match are rarely ruled out by it.
constexpr int32_t kLocalRadius = 16;

bool WantsSums(int32_t radius) { return radius == 0 || radius > kLocalRadius; }

// Patch width `level` halvings coarser: the same stretch of image, at least 2 pixels.
int32_t LevelWidth(int32_t width, int32_t level) {
  return level == 0 ? width : std::max(2, (width + (1 << level) - 1) >> level);
}

// The lists a start field gives, its entries packed as anchors of B.
NeighbourLists StartLists(const Field& start, const PatchGrid& a, const PatchGrid& b, int32_t k,
                          bool self, bool same_place, uint64_t seed) {
  std::vector<uint32_t> starts(start.match_rows.size());
  ParallelFor(0, int64_t(starts.size()), 0,
              [&](int64_t e) { starts[e] = Pack(start.match_rows[e], start.match_cols[e]); });
  return GivenLists(starts.data(), start.k, a, b, k, self, same_place, seed);
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

namespace {

// Anchors of an image `level` halvings coarser.
int64_t AnchorsAt(int32_t rows, int32_t cols, int32_t level, const MatchOptions& options) {
  const int32_t w = LevelWidth(options.width, level);
  const int64_t r = (rows >> level) - w + 1, c = (cols >> level) - w + 1;
  return r > 0 && c > 0 ? r * c : 0;
}

}  // namespace

int32_t CoarseLevels(int32_t rows_a, int32_t cols_a, int32_t rows_b, int32_t cols_b,
                     const MatchOptions& options) {
  // A tree over more anchors than tree_anchors would leave the caches: the pyramid grows so that
  // it can serve a coarser level.
  int32_t wanted = options.levels;
  if (options.tree_anchors > 0 && options.kernels > 0)
    for (int32_t l = std::min(options.tree_level, wanted);
         l < 16 && AnchorsAt(rows_b, cols_b, l, options) > options.tree_anchors; ++l)
      wanted = std::max(wanted, l + 1);
  int32_t levels = 0;
  while (levels < wanted) {
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

int32_t TreeLevel(int32_t levels, int32_t rows_b, int32_t cols_b, const MatchOptions& options) {
  int32_t level = std::min(options.tree_level, levels);
  while (options.tree_anchors > 0 && level < levels &&
         AnchorsAt(rows_b, cols_b, level, options) > options.tree_anchors)
    ++level;
  return level;
}

// The radius of the random search at level l of a match with `levels` coarse levels.
int32_t LevelRadius(int32_t l, int32_t levels, const MatchOptions& options) {
  return l == levels ? options.coarse_radius : options.radius;
}

std::unique_ptr<PreparedImage> Prepare(const Image& image, int32_t channels,
                                       const MatchOptions& options, const PrepareFor& what) {
  auto out = std::make_unique<PreparedImage>();
  out->source = &image;
  out->rows = image.rows;
  out->cols = image.cols;
  out->channels = channels;
  out->levels = what.levels;
  // Grids point into the pyramid: it never moves, coarse levels made later included.
  out->pyramid.reserve(what.levels + 1);
  out->grids.reserve(what.levels + 1);
  const Image converted = image.channels == channels ? Image() : WithChannels(image, channels);
  out->pyramid.push_back(Interleave(image.channels == channels ? image : converted));
  // Patch sums serve a wide random search only (a start field's makes them when it needs them).
  const bool sums = WantsSums(LevelRadius(0, what.levels, options));
  out->grids.push_back(MakeGrid(out->pyramid[0], options.width, sums));
  if (what.coarse) MakeCoarse(out.get(), options);
  if (what.vectors || what.tree)
    MakeSearchable(out.get(), options, what.tree, what.coarse ? what.tree_level : 0);
  return out;
}

void MakeCoarse(PreparedImage* image, const MatchOptions& options) {
  for (int32_t l = int32_t(image->pyramid.size()); l <= image->levels; ++l) {
    image->pyramid.push_back(HalfSize(image->pyramid[l - 1]));
    const bool sums = WantsSums(LevelRadius(l, image->levels, options));
    image->grids.push_back(MakeGrid(image->pyramid[l], LevelWidth(options.width, l), sums));
  }
}

void MakeSearchable(PreparedImage* image, const MatchOptions& options, bool tree, int32_t level) {
  if (options.kernels <= 0) return;
  if (image->vectors_level != level) {
    image->tree = PatchTree();
    image->vectors = Projections();
  }
  image->vectors_level = level;
  const int32_t width = LevelWidth(options.width, level);
  if (image->vectors.stack.empty()) {
    const int32_t side = std::min(KernelSide(width), 8);
    const KernelChain chain = SequencyChain(side, std::min(options.kernels, side * side), 1);
    const Image& source = *image->source;
    if (level > 0) {
      image->vectors = Project(Deinterleave(image->pyramid[level]), width, chain, 0);
    } else if (source.channels == image->channels) {
      image->vectors = Project(source, width, chain, 0);
    } else {
      image->vectors = Project(WithChannels(source, image->channels), width, chain, 0);
    }
    image->norm = side * side;
  }
  if (tree && image->tree.anchors.empty()) {
    const Projections& v = image->vectors;
    // Every tree_step-th column: propagation reaches the columns between.
    const int32_t step = std::max(1, options.tree_step);
    const int32_t tree_cols = (v.cols + step - 1) / step;
    const size_t column_values = size_t(v.rows) * v.values;
    UninitializedVector<int16_t> subset(step > 1 ? column_values * tree_cols : 0);
    ParallelFor(0, step > 1 ? tree_cols : 0, 0, [&](int64_t c) {
      std::copy_n(&v.stack[size_t(c) * step * column_values], column_values,
                  &subset[c * column_values]);
    });
    PatchTree& t = image->tree;
    t = BuildTree(step > 1 ? subset.data() : v.stack.data(), uint32_t(v.rows) * uint32_t(tree_cols),
                  v.values, options.leaf_size);
    t.rows = v.rows;
    t.col_step = step;
    ParallelFor(0, int64_t(t.anchors.size()), 0, [&](int64_t i) {
      t.anchors[i] = Pack(int32_t(t.anchors[i] % uint32_t(v.rows)),
                          int32_t(t.anchors[i] / uint32_t(v.rows)) * step);
    });
    // Small patches are copied in leaf order: a leaf's members are then read from one place
    // instead of one cache line per column of each.
    const InterleavedImage& pixels = image->pyramid[level];
    const int32_t column_bytes = width * image->channels;
    if (width * column_bytes <= kMaxCopiedPatch) {
      t.patch_bytes = width * column_bytes;
      t.patches.resize(t.anchors.size() * t.patch_bytes);
      ParallelFor(0, int64_t(t.anchors.size()), 0, [&](int64_t i) {
        for (int32_t dc = 0; dc < width; ++dc)
          std::copy_n(pixels.at(RowOf(t.anchors[i]), ColOf(t.anchors[i]) + dc), column_bytes,
                      &t.patches[i * t.patch_bytes + dc * column_bytes]);
      });
    }
  }
}

namespace {

// The mean best error of the lists, and the mean of the least error a field records per anchor.
double MeanError(const NeighbourLists& lists) {
  double sum = 0;
  for (size_t e = 0; e < lists.costs.size(); e += size_t(lists.k))
    sum += std::sqrt(static_cast<double>(lists.costs[e]));
  return sum / double(std::max<size_t>(1, lists.costs.size() / size_t(lists.k)));
}
double MeanRecorded(const Field& field) {
  double sum = 0;
  for (size_t e = 0; e + size_t(field.k) <= field.errors.size(); e += size_t(field.k))
    sum += *std::min_element(&field.errors[e], &field.errors[e] + field.k);
  return sum / double(std::max<size_t>(1, field.anchors()));
}

// How much search each anchor needs after a start field: kSearch where the field records no errors,
// or where the best start entry now measures more than the least error recorded for the anchor
// (its patch or its match changed); kNeighbours within a patch width of such an anchor, where the
// change may spread; kLeave elsewhere. `searched` counts the kSearch anchors.
std::vector<uint8_t> StartEfforts(const Field& start, const NeighbourLists& lists,
                                  int32_t width, size_t* searched) {
  const size_t anchors = start.anchors();
  if (start.errors.size() != anchors * size_t(start.k)) {
    *searched = anchors;
    return std::vector<uint8_t>(anchors, kSearch);
  }
  std::vector<uint8_t> effort(anchors, kLeave);
  std::atomic<size_t> count{0};
  ParallelFor(0, int64_t(anchors), 0, [&](int64_t p) {
    const float* recorded = &start.errors[size_t(p) * start.k];
    const float least = *std::min_element(recorded, recorded + start.k);
    const float now = static_cast<float>(std::sqrt(static_cast<double>(lists.costs[p * lists.k])));
    if (!(now <= least)) {  // a recorded NaN never settles an anchor
      effort[p] = kSearch;
      count.fetch_add(1, std::memory_order_relaxed);
    }
  });
  *searched = count;
  // The neighbourhood: down the columns, then across the rows, a run of `width` anchors from any
  // anchor to be searched.
  const int32_t rows = start.rows, cols = start.cols;
  std::vector<uint8_t> near(anchors, 0);
  ParallelFor(0, cols, 16, [&](int64_t c) {
    const uint8_t* column = &effort[size_t(c) * rows];
    uint8_t* out = &near[size_t(c) * rows];
    for (int32_t r = 0, last = -width - 1; r < rows; ++r) {
      if (column[r] == kSearch) {
        for (int32_t q = std::max(last + width + 1, r - width); q <= r; ++q) out[q] = 1;
        last = r;
      }
      if (r - last <= width) out[r] = 1;
    }
  });
  ParallelFor(0, rows, 64, [&](int64_t r) {
    for (int32_t c = 0, last = -width - 1; c < cols; ++c) {
      const size_t p = size_t(r) + size_t(c) * rows;
      if (near[p] == 1) {
        for (int32_t q = std::max(last + width + 1, c - width); q <= c; ++q) {
          uint8_t& e = effort[size_t(r) + size_t(q) * rows];
          e = std::max<uint8_t>(e, kNeighbours);
        }
        last = c;
      }
      if (c - last <= width) {
        uint8_t& e = effort[p];
        e = std::max<uint8_t>(e, kNeighbours);
      }
    }
  });
  return effort;
}

}  // namespace

Field MatchPrepared(PreparedImage& a, PreparedImage& b, const MatchOptions& options, bool self,
                    Field* start, const StartSearch& how, bool* restarted) {
  const int32_t levels = a.levels;
  // A start field takes the place of the random start and the coarse levels, unless its errors
  // show that many anchors changed: then the match is made as without it, and the start's
  // entries join the lists at the end, so that no anchor ends worse than its start either way.
  NeighbourLists lists, start_lists;
  std::vector<uint8_t> effort;
  size_t searched = 0;
  bool warm = options.start_field != nullptr;
  if (warm) {
    const uint64_t level_seed = SplitMix64(options.seed).Next();
    start_lists = StartLists(*options.start_field, a.grids[0], b.grids[0], options.k, self,
                             how.same_place, level_seed);
    effort = StartEfforts(*options.start_field, start_lists, options.width, &searched);
    // Far worse than the field recorded: a cut. Far better: the field came from a cut.
    const double ratio = MeanError(start_lists) / MeanRecorded(*options.start_field);
    if (how.restart_above > 0 && !(ratio <= how.restart_above && ratio * how.restart_above >= 1)) {
      warm = false;
      if (restarted) *restarted = true;
    } else if (!options.start_field->errors.empty() &&
               double(searched) >= how.cold_share * double(a.grids[0].anchors())) {
      warm = false;
    } else {
      lists = std::move(start_lists);
      start_lists = NeighbourLists();
    }
  }
  if (!warm) {
    MakeCoarse(&a, options);
    if (!self) MakeCoarse(&b, options);
  }
  const int32_t top = warm ? 0 : levels;
  const int32_t total = top + 1;
  for (int32_t l = top; l >= 0; --l) {
    const PatchGrid& grid_a = a.grids[l];
    const PatchGrid& grid_b = b.grids[l];
    const uint64_t level_seed = SplitMix64(options.seed + 0x100 * uint64_t(l)).Next();
    const int32_t tree_level = TreeLevel(levels, b.rows, b.cols, options);
    const bool tree = !warm && l == tree_level && options.kernels > 0;
    if (warm) {
      // Nothing to search: the start, measured anew, is the field.
      if (searched == 0) break;
    } else if (l == levels) {
      lists = RandomLists(grid_a, grid_b, options.k, self, level_seed);
    } else {
      lists = Upsampled(lists, a.grids[l + 1], grid_a, grid_b, self, level_seed);
    }
    if (l == 0 && start) *start = FieldOf(lists, grid_a, options.width, a.channels);
    SearchPlan plan;
    plan.passes = l == levels ? options.coarse_passes : l == 0 ? options.passes : options.mid_passes;
    plan.radius = LevelRadius(l, levels, options);
    plan.self = self;
    plan.seed = level_seed;
    if (warm) {
      // The anchors near a change take their neighbours' matches there and back; those whose
      // patches changed also a random search, whose cost, unlike the tree's, is theirs alone.
      for (PatchGrid* grid : {&a.grids[0], &b.grids[0]})
        if (grid->sums.empty() && WantsSums(how.radius))
          *grid = MakeGrid(*grid->image, grid->width, true);
      plan.effort = effort.data();
      plan.passes = 2;
      plan.radius = how.radius;
      plan.tries = how.tries;
    }
    // At the tree's level, the tree over B's vectors proposes look-alike patches.
    if (tree) {
      MakeSearchable(&a, options, self, l);
      if (!self) MakeSearchable(&b, options, true, l);
      const Projections& v = a.vectors;
      plan.vectors_a = v.stack.data();
      plan.norm = uint32_t(a.norm);
      plan.good_enough = uint32_t(options.good_enough) * uint32_t(grid_a.width) *
                         uint32_t(grid_a.width) * uint32_t(a.channels);
      plan.tree = &b.tree;
      plan.leaf_tries = options.leaf_tries;
      plan.entry_leaves = options.entry_leaves;
    }
    // Lists of several entries where patches repeat exactly: every copy, at a fixed cost.
    std::unique_ptr<CopyTable> copies;
    if (l == 0 && options.k > 1 && options.copy_table) {
      copies = std::make_unique<CopyTable>(grid_a, grid_b, self);
      plan.copies = copies.get();
    }
    Search(grid_a, grid_b, plan, &lists);
    ReportProgress(total - l, total);
  }
  if (!start_lists.matches.empty()) MergeLists(start_lists, &lists);
  if (warm && searched == 0) ReportProgress(total, total);
  return FieldOf(lists, a.grids[0], options.width, a.channels);
}

}  // namespace gck
