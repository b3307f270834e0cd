#include "matcher/patch_search.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <limits>

#include "matcher/exact_copies.h"
#include "matcher/split_mix.h"
#include "matcher/thread_team.h"

namespace gck {
namespace {

constexpr uint32_t kNoCost = std::numeric_limits<uint32_t>::max();
// Anchor columns per band: the unit of work whose order never depends on how it is scheduled.
constexpr int32_t kBandCols = 64;
// Anchor columns per share of the work when lists are made: small enough that a cancel is seen
// within milliseconds on a tall image.
constexpr int64_t kListColumns = 16;
// The most list entries whose leaves an anchor visits.
constexpr int32_t kMaxEntryLeaves = 8;
// The most leaf members an anchor measures when the plan limits them.
constexpr int32_t kMaxTries = 32;

uint64_t StreamSeed(uint64_t seed, uint64_t a, uint64_t b) {
  SplitMix64 mix(seed ^ (a * 0x9E3779B97F4A7C15ull) ^ (b * 0xC2B2AE3D27D4EB4Full));
  return mix.Next();
}

// Squared distance of two projection vectors, eight values at a time. Values lie within
// +-255 * 64, so differences fit in 16 bits and each pair of squares in 31.
uint64_t VectorDistance(const int16_t* x, const int16_t* y, int32_t dims) {
  __m128i sum = _mm_setzero_si128();
  int32_t d = 0;
  for (; d + 8 <= dims; d += 8) {
    const __m128i diff = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + d)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + d)));
    const __m128i pairs = _mm_madd_epi16(diff, diff);
    const __m128i zero = _mm_setzero_si128();
    sum = _mm_add_epi64(sum, _mm_add_epi64(_mm_unpacklo_epi32(pairs, zero), _mm_unpackhi_epi32(pairs, zero)));
  }
  uint64_t total = uint64_t(_mm_cvtsi128_si64(sum)) + uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sum, sum)));
  for (; d < dims; ++d) {
    const int64_t diff = int64_t(x[d]) - y[d];
    total += uint64_t(diff * diff);
  }
  return total;
}

// The state one anchor's visit works on.
class AnchorSearch {
 public:
  AnchorSearch(const PatchGrid& a, const PatchGrid& b, bool self, NeighbourLists* lists)
      : a_(a), b_(b), self_(self), k_(lists->k), lists_(lists),
        channels_(a.image->channels),
        column_bytes_(a.width * a.image->channels),
        stride_a_(a.image->column_stride()),
        stride_b_(b.image->column_stride()) {}

  void Start(int32_t r, int32_t c) {
    r_ = r, c_ = c;
    p_ = uint32_t(r) + uint32_t(c) * uint32_t(a_.rows);
    self_match_ = self_ ? Pack(r, c) : kNoCost;
    patch_a_ = a_.image->at(r, c);
    sums_a_ = a_.sums.empty() || b_.sums.empty() ? nullptr : &a_.sums[size_t(p_) * channels_];
    matches_ = &lists_->matches[size_t(p_) * k_];
    costs_ = &lists_->costs[size_t(p_) * k_];
  }

  uint32_t best() const { return matches_[0]; }
  uint32_t worst() const { return costs_[k_ - 1]; }

  // Members of the leaves whose vectors do not rule them out; with `tries` > 0 only that many,
  // those whose vectors lie closest to the anchor's, closest first.
  void TryLeaves(const PatchTree& tree, const uint32_t* leaves, int32_t count,
                 const int16_t* vectors_a, uint32_t norm, int32_t tries) {
    const int32_t dims = tree.dims;
    const int16_t* own = &vectors_a[size_t(p_) * dims];
    if (tries == 0) {
      // Where the tree keeps the members' patches, measuring one costs about what the vectors'
      // bound does, and the bound spares few: every member is measured.
      const bool screen = tree.patch_bytes == 0;
      for (int32_t l = 0; l < count; ++l)
        for (uint32_t i = tree.begin(leaves[l]), end = tree.end(leaves[l]); i < end; ++i) {
          const uint64_t limit = uint64_t(costs_[k_ - 1]) * norm;
          if (screen && VectorDistance(own, &tree.vectors[size_t(i) * dims], dims) > limit)
            continue;
          TryMember(tree, i);
        }
      return;
    }
    uint64_t distance[kMaxTries];
    uint32_t member[kMaxTries];
    int32_t taken = 0;
    const uint64_t limit = uint64_t(costs_[k_ - 1]) * norm;
    for (int32_t l = 0; l < count; ++l)
      for (uint32_t i = tree.begin(leaves[l]), end = tree.end(leaves[l]); i < end; ++i) {
        const uint64_t d = VectorDistance(own, &tree.vectors[size_t(i) * dims], dims);
        if (d > limit || (taken == tries && d >= distance[taken - 1])) continue;
        int32_t s = taken < tries ? taken++ : taken - 1;
        for (; s > 0 && distance[s - 1] > d; --s)
          distance[s] = distance[s - 1], member[s] = member[s - 1];
        distance[s] = d, member[s] = i;
      }
    for (int32_t t = 0; t < taken; ++t) {
      if (distance[t] > uint64_t(costs_[k_ - 1]) * norm) break;
      TryMember(tree, member[t]);
    }
  }
  // Member i of the tree, from the copy of its patch where the tree keeps one.
  void TryMember(const PatchTree& tree, uint32_t i) {
    const uint32_t q = tree.anchors[i];
    if (tree.patch_bytes > 0)
      TryCopy(q, &tree.patches[size_t(i) * tree.patch_bytes]);
    else
      Try(RowOf(q), ColOf(q), false);
  }

  // Every entry is an exact copy: nothing can enter the list any more.
  bool settled() const { return costs_[k_ - 1] == 0; }
  uint32_t entry(int32_t s) const { return matches_[s]; }

  // Tries anchor (row, col) of B, which must lie inside B. `bound` first compares the patch sums,
  // which rejects most far-off candidates without touching their pixels.
  void Try(int32_t row, int32_t col, bool bound) {
    const uint32_t q = Pack(row, col);
    if (q == self_match_ || Listed(q)) return;
    if (bound && sums_a_ && SumsExceed(row, col, costs_[k_ - 1])) return;
    Measure(q, b_.image->at(row, col), stride_b_);
  }

  // Tries anchor q of B where the neighbour `step` columns before the anchor lists q moved back by
  // that step, at `cost`: the two pairs of patches share all but one column, so the distance is
  // that cost less the neighbour's own column plus the anchor's, two columns instead of the patch.
  // (The same along rows reads a pixel from every column and costs more than it spares.)
  void TryMoved(uint32_t q, uint32_t cost, int32_t step) {
    if (q == self_match_ || Listed(q)) return;
    const int32_t leaving = step > 0 ? -1 : a_.width, entering = step > 0 ? a_.width - 1 : 0;
    const int32_t row = RowOf(q), col = ColOf(q);
    const uint32_t left = InterleavedColumnSsd(a_.image->at(r_, c_ + leaving),
                                               b_.image->at(row, col + leaving), column_bytes_);
    const uint32_t entered = InterleavedColumnSsd(a_.image->at(r_, c_ + entering),
                                                  b_.image->at(row, col + entering), column_bytes_);
    Enter(q, cost - left + entered);
  }

  // Tries anchor q of B from a copy of its patch, the columns one after another.
  void TryCopy(uint32_t q, const uint8_t* copy) {
    if (q == self_match_ || Listed(q)) return;
    Measure(q, copy, size_t(column_bytes_));
  }

 private:
  // A match already in the list is not measured again; neighbours often propose it.
  bool Listed(uint32_t q) const {
    for (int32_t s = 0; s < k_; ++s)
      if (matches_[s] == q) return true;
    return false;
  }

  // Enters q, whose patch starts at `patch_b` with columns `stride` apart, if it beats the list.
  void Measure(uint32_t q, const uint8_t* patch_b, size_t stride) {
    const uint32_t worst = costs_[k_ - 1];
    Enter(q, InterleavedSsd(patch_a_, stride_a_, patch_b, stride, column_bytes_, a_.width, worst));
  }

  // Enters q at `cost` if that beats the list.
  void Enter(uint32_t q, uint32_t cost) {
    if (cost >= costs_[k_ - 1]) return;
    if (k_ == 1) {
      matches_[0] = q, costs_[0] = cost;
      return;
    }
    int32_t s = k_ - 1;
    for (; s > 0 && costs_[s - 1] > cost; --s) matches_[s] = matches_[s - 1], costs_[s] = costs_[s - 1];
    matches_[s] = q, costs_[s] = cost;
  }

  // (sum of differences)^2 <= width^2 * (sum of squared differences), per channel.
  bool SumsExceed(int32_t row, int32_t col, uint32_t worst) const {
    const int32_t* sums_b = &b_.sums[(size_t(row) + size_t(col) * b_.rows) * channels_];
    uint64_t bound = 0;
    for (int32_t k = 0; k < channels_; ++k) {
      const int64_t d = int64_t(sums_a_[k]) - sums_b[k];
      bound += uint64_t(d * d);
    }
    return bound > uint64_t(worst) * uint64_t(a_.width) * uint64_t(a_.width);
  }

  const PatchGrid& a_;
  const PatchGrid& b_;
  const bool self_;
  const int32_t k_;
  NeighbourLists* lists_;
  const int32_t channels_;
  const int32_t column_bytes_;
  const size_t stride_a_, stride_b_;
  int32_t r_ = 0, c_ = 0;
  uint32_t p_ = 0;
  uint32_t self_match_ = kNoCost;
  const uint8_t* patch_a_ = nullptr;
  const int32_t* sums_a_ = nullptr;
  uint32_t* matches_ = nullptr;
  uint32_t* costs_ = nullptr;
};

uint32_t FullCost(const PatchGrid& a, int32_t ra, int32_t ca, const PatchGrid& b, uint32_t q) {
  return InterleavedSsd(a.image->at(ra, ca), a.image->column_stride(),
                        b.image->at(RowOf(q), ColOf(q)), b.image->column_stride(),
                        a.width * a.image->channels, a.width, kNoCost);
}

// Sorts one list by cost (lists are short: insertion sort).
void SortList(uint32_t* matches, uint32_t* costs, int32_t k) {
  for (int32_t s = 1; s < k; ++s)
    for (int32_t t = s; t > 0 && costs[t] < costs[t - 1]; --t)
      std::swap(costs[t], costs[t - 1]), std::swap(matches[t], matches[t - 1]);
}

// Replaces repeats (and, within one image, the anchor itself) by random distinct anchors.
void MakeDistinct(uint32_t* list, int32_t k, uint32_t self_match, const PatchGrid& b,
                  SplitMix64* random) {
  for (int32_t s = 0; s < k; ++s) {
    const auto taken = [&](uint32_t q) {
      return q == self_match || std::find(list, list + s, q) != list + s;
    };
    while (taken(list[s]))
      list[s] = Pack(int32_t(random->Below(uint32_t(b.rows))), int32_t(random->Below(uint32_t(b.cols))));
  }
}

// The anchor at the same position in B joins the list when it is no worse than the worst entry,
// ahead of entries of equal cost: still scenes and small motions match in place, and an image
// matched with itself starts from, and keeps, the identity.
void OfferSamePlace(const PatchGrid& a, int32_t r, int32_t c, const PatchGrid& b, bool self,
                    uint32_t* matches, uint32_t* costs, int32_t k) {
  if (self || r >= b.rows || c >= b.cols) return;
  const uint32_t q = Pack(r, c);
  if (std::find(matches, matches + k, q) != matches + k) {
    // Already there: move it ahead of the entries that share its cost.
    int32_t s = int32_t(std::find(matches, matches + k, q) - matches);
    for (; s > 0 && costs[s - 1] == costs[s]; --s) std::swap(matches[s], matches[s - 1]);
    return;
  }
  const uint32_t cost = FullCost(a, r, c, b, q);
  if (cost > costs[k - 1]) return;
  int32_t s = k - 1;
  for (; s > 0 && costs[s - 1] >= cost; --s) matches[s] = matches[s - 1], costs[s] = costs[s - 1];
  matches[s] = q, costs[s] = cost;
}

void SearchBand(const PatchGrid& a, const PatchGrid& b, const SearchPlan& plan, int32_t pass,
                int32_t band, NeighbourLists* lists) {
  const bool forward = (pass % 2 == 0) != plan.backward_first;
  const int32_t step = forward ? 1 : -1;
  const int32_t first = band * kBandCols, last = std::min(first + kBandCols, a.cols) - 1;
  SplitMix64 random(StreamSeed(plan.seed, uint64_t(pass), uint64_t(band)));
  AnchorSearch search(a, b, plan.self, lists);
  const int32_t k = lists->k;
  const int32_t full = std::max(b.rows, b.cols);
  const int32_t radius = plan.radius > 0 ? std::min(plan.radius, full) : plan.radius < 0 ? 0 : full;
  const PatchTree* tree = plan.tree;
  const int32_t dims = tree ? tree->dims : 0;
  // The leaf of each anchor of the column at hand, found for the whole column at once.
  std::vector<uint32_t> own_leaves(tree ? a.rows : 0);
  const CopyTable* copies = pass == 0 ? plan.copies : nullptr;
  for (int32_t i = 0; i <= last - first; ++i) {
    CheckCancelled();
    const int32_t c = forward ? first + i : last - i;
    const auto row_at = [&](int32_t j) { return forward ? j : a.rows - 1 - j; };
    if (tree)
      tree->Leaves(&plan.vectors_a[size_t(c) * a.rows * dims], uint32_t(a.rows), own_leaves.data());
    for (int32_t j = 0; j < a.rows; ++j) {
      const int32_t r = row_at(j);
      if (tree) {
        // The leaves of the anchors a few steps ahead: their bounds, then their members (at 4 MP
        // the tree no longer fits the caches, and this takes a tenth off the time).
        if (j + 16 < a.rows)
          _mm_prefetch(reinterpret_cast<const char*>(&tree->leaf_start[own_leaves[row_at(j + 16)]]),
                       _MM_HINT_T0);
        if (j + 8 < a.rows) {
          const uint32_t leaf = own_leaves[row_at(j + 8)];
          const uint32_t first = tree->begin(leaf), count = tree->end(leaf) - first;
          // What the members are measured from: their patches' copies, or their vectors first.
          const char* from =
              tree->patch_bytes > 0
                  ? reinterpret_cast<const char*>(&tree->patches[size_t(first) * tree->patch_bytes])
                  : reinterpret_cast<const char*>(&tree->vectors[size_t(first) * dims]);
          const uint32_t bytes = count * (tree->patch_bytes > 0 ? tree->patch_bytes : dims * 2);
          for (uint32_t b = 0; b < bytes; b += 64) _mm_prefetch(from + b, _MM_HINT_T0);
          _mm_prefetch(reinterpret_cast<const char*>(&tree->anchors[first]), _MM_HINT_T0);
        }
      }
      if (copies && j + 8 < a.rows)
        copies->Prefetch(uint32_t(row_at(j + 8)) + uint32_t(c) * uint32_t(a.rows));
      search.Start(r, c);
      const uint8_t effort =
          plan.effort ? plan.effort[size_t(r) + size_t(c) * a.rows] : uint8_t{kSearch};
      if (effort == kLeave || search.settled()) continue;
      if (copies)
        for (uint32_t q = copies->First(uint32_t(r) + uint32_t(c) * uint32_t(a.rows));
             q != CopyTable::kNone && !search.settled(); q = copies->Next(q))
          search.Try(int32_t(q % uint32_t(b.rows)), int32_t(q / uint32_t(b.rows)), false);
      if (search.settled()) continue;
      // The neighbours visited just before: their matches, moved along by one pixel.
      if (r - step >= 0 && r - step < a.rows) {
        const uint32_t* n = &lists->matches[(size_t(r - step) + size_t(c) * a.rows) * k];
        for (int32_t s = 0; s < k; ++s) {
          const int32_t row = RowOf(n[s]) + step;
          if (row >= 0 && row < b.rows) search.Try(row, ColOf(n[s]), false);
        }
      }
      if (c - step >= 0 && c - step < a.cols) {
        // Their distances follow from the neighbour's by one column each.
        const size_t n = (size_t(r) + size_t(c - step) * a.rows) * k;
        for (int32_t s = 0; s < k; ++s) {
          const uint32_t match = lists->matches[n + s];
          const int32_t col = ColOf(match) + step;
          if (col >= 0 && col < b.cols)
            search.TryMoved(Pack(RowOf(match), col), lists->costs[n + s], step);
        }
      }
      if (effort != kSearch) continue;
      if (plan.tree && search.worst() > plan.good_enough) {
        // The anchor's own leaf and those of its first matches so far.
        uint32_t leaves[1 + kMaxEntryLeaves];
        int32_t count = 0;
        leaves[count++] = own_leaves[r];
        for (int32_t s = 0; s < std::min(k, plan.entry_leaves); ++s) {
          const uint32_t match = search.entry(s);
          const uint32_t leaf = tree->LeafOfAnchor(RowOf(match), ColOf(match));
          if (std::find(leaves, leaves + count, leaf) == leaves + count) leaves[count++] = leaf;
        }
        search.TryLeaves(*tree, leaves, count, plan.vectors_a, plan.norm, plan.leaf_tries);
      }
      // Random search around the best match, in windows that halve.
      for (int32_t t = 0; t < plan.tries; ++t)
        for (int32_t w = radius; w >= 1; w /= 2) {
          const uint32_t best = search.best();
          const int32_t r0 = std::max(RowOf(best) - w, 0), r1 = std::min(RowOf(best) + w + 1, b.rows);
          const int32_t c0 = std::max(ColOf(best) - w, 0), c1 = std::min(ColOf(best) + w + 1, b.cols);
          search.Try(r0 + int32_t(random.Below(uint32_t(r1 - r0))),
                     c0 + int32_t(random.Below(uint32_t(c1 - c0))), true);
        }
    }
  }
}

}  // namespace

PatchGrid MakeGrid(const InterleavedImage& image, int32_t width, bool sums) {
  PatchGrid grid;
  grid.image = &image;
  grid.width = width;
  grid.rows = image.rows - width + 1;
  grid.cols = image.cols - width + 1;
  if (!sums) return grid;
  const int32_t ch = image.channels;
  const size_t col_values = size_t(grid.rows) * ch;
  grid.sums.resize(size_t(grid.anchors()) * ch);
  // Strips of anchor columns side by side; each slides a window of `width` column sums across
  // its columns, the sums of `width` rows slid down each column as it enters or leaves.
  constexpr int32_t kStrip = 64;
  const int32_t strips = (grid.cols + kStrip - 1) / kStrip;
  ParallelFor(0, strips, 1, [&](int64_t strip) {
    std::vector<int32_t> window(col_values, 0), column(col_values);
    const auto column_sums = [&](int32_t c) {
      const uint8_t* px = image.at(0, c);
      for (int32_t k = 0; k < ch; ++k) {
        int32_t sum = 0;
        for (int32_t r = 0; r < width; ++r) sum += px[r * ch + k];
        column[k] = sum;
        for (int32_t r = 1; r < grid.rows; ++r) {
          sum += px[(r + width - 1) * ch + k] - px[(r - 1) * ch + k];
          column[r * ch + k] = sum;
        }
      }
    };
    const int32_t first = int32_t(strip) * kStrip, last = std::min(first + kStrip, grid.cols);
    for (int32_t c = first; c < first + width; ++c) {
      column_sums(c);
      for (size_t v = 0; v < col_values; ++v) window[v] += column[v];
    }
    for (int32_t c = first; c < last; ++c) {
      if (c > first) {
        column_sums(c + width - 1);
        for (size_t v = 0; v < col_values; ++v) window[v] += column[v];
        column_sums(c - 1);
        for (size_t v = 0; v < col_values; ++v) window[v] -= column[v];
      }
      std::copy(window.begin(), window.end(), grid.sums.begin() + c * col_values);
    }
  });
  return grid;
}

NeighbourLists RandomLists(const PatchGrid& a, const PatchGrid& b, int32_t k, bool self,
                           uint64_t seed) {
  NeighbourLists lists;
  lists.k = k;
  lists.matches.resize(size_t(a.anchors()) * k);
  lists.costs.resize(lists.matches.size());
  ParallelFor(0, a.cols, kListColumns, [&](int64_t column) {
    const int32_t c = int32_t(column);
    SplitMix64 random(StreamSeed(seed, 0x5EED, uint64_t(c)));
    for (int32_t r = 0; r < a.rows; ++r) {
      const size_t p = size_t(r) + size_t(c) * a.rows;
      uint32_t* list = &lists.matches[p * k];
      for (int32_t s = 0; s < k; ++s)
        list[s] = Pack(int32_t(random.Below(uint32_t(b.rows))), int32_t(random.Below(uint32_t(b.cols))));
      MakeDistinct(list, k, self ? Pack(r, c) : kNoCost, b, &random);
      for (int32_t s = 0; s < k; ++s) lists.costs[p * k + s] = FullCost(a, r, c, b, list[s]);
      SortList(list, &lists.costs[p * k], k);
      OfferSamePlace(a, r, c, b, self, list, &lists.costs[p * k], k);
    }
  });
  return lists;
}

NeighbourLists Upsampled(const NeighbourLists& coarse, const PatchGrid& coarse_a,
                         const PatchGrid& a, const PatchGrid& b, bool self, uint64_t seed) {
  const int32_t k = coarse.k;
  NeighbourLists lists;
  lists.k = k;
  lists.matches.resize(size_t(a.anchors()) * k);
  lists.costs.resize(lists.matches.size());
  ParallelFor(0, a.cols, kListColumns, [&](int64_t column) {
    const int32_t c = int32_t(column);
    SplitMix64 random(StreamSeed(seed, 0xF1E1D, uint64_t(c)));
    const int32_t cc = std::min(c / 2, coarse_a.cols - 1);
    for (int32_t r = 0; r < a.rows; ++r) {
      const int32_t rc = std::min(r / 2, coarse_a.rows - 1);
      const size_t p = size_t(r) + size_t(c) * a.rows;
      const uint32_t* from = &coarse.matches[(size_t(rc) + size_t(cc) * coarse_a.rows) * k];
      uint32_t* list = &lists.matches[p * k];
      for (int32_t s = 0; s < k; ++s) {
        const int32_t row = std::clamp(2 * RowOf(from[s]) + r - 2 * rc, 0, b.rows - 1);
        const int32_t col = std::clamp(2 * ColOf(from[s]) + c - 2 * cc, 0, b.cols - 1);
        list[s] = Pack(row, col);
      }
      MakeDistinct(list, k, self ? Pack(r, c) : kNoCost, b, &random);
      for (int32_t s = 0; s < k; ++s) lists.costs[p * k + s] = FullCost(a, r, c, b, list[s]);
      SortList(list, &lists.costs[p * k], k);
      OfferSamePlace(a, r, c, b, self, list, &lists.costs[p * k], k);
    }
  });
  return lists;
}

NeighbourLists GivenLists(const uint32_t* starts, int32_t per_anchor, const PatchGrid& a,
                          const PatchGrid& b, int32_t k, bool self, bool same_place,
                          uint64_t seed) {
  NeighbourLists lists;
  lists.k = k;
  lists.matches.resize(size_t(a.anchors()) * k);
  lists.costs.resize(lists.matches.size());
  ParallelFor(0, a.cols, kListColumns, [&](int64_t column) {
    const int32_t c = int32_t(column);
    SplitMix64 random(StreamSeed(seed, 0x57A27, uint64_t(c)));
    std::vector<uint32_t> list(size_t(per_anchor) + k), costs(list.size());
    for (int32_t r = 0; r < a.rows; ++r) {
      const size_t p = size_t(r) + size_t(c) * a.rows;
      const uint32_t self_match = self ? Pack(r, c) : kNoCost;
      uint32_t* matches = &lists.matches[p * k];
      uint32_t* kept_costs = &lists.costs[p * k];
      const uint32_t* given = &starts[p * per_anchor];
      if (per_anchor == 1 && k == 1 && given[0] != self_match) {
        // The usual start, one match kept of one given: nothing to sort or tell apart.
        matches[0] = given[0], kept_costs[0] = FullCost(a, r, c, b, given[0]);
      } else {
        // The given matches, each once and never the anchor itself, best first, k at most.
        int32_t n = 0;
        for (const uint32_t* q = given; q < given + per_anchor; ++q) {
          if (*q == self_match || std::find(list.data(), list.data() + n, *q) != list.data() + n)
            continue;
          list[n] = *q, costs[n] = FullCost(a, r, c, b, *q), ++n;
        }
        SortList(list.data(), costs.data(), n);
        n = std::min(n, k);
        if (n < k) {
          for (int32_t s = n; s < k; ++s) list[s] = list[0];
          MakeDistinct(list.data(), k, self_match, b, &random);
          for (int32_t s = n; s < k; ++s) costs[s] = FullCost(a, r, c, b, list[s]);
          SortList(list.data(), costs.data(), k);
        }
        std::copy_n(list.begin(), k, matches);
        std::copy_n(costs.begin(), k, kept_costs);
      }
      if (same_place) OfferSamePlace(a, r, c, b, self, matches, kept_costs, k);
    }
  });
  return lists;
}

void MergeLists(const NeighbourLists& more, NeighbourLists* lists) {
  const int32_t k = lists->k;
  ParallelFor(0, int64_t(lists->matches.size() / size_t(k)), 4096, [&](int64_t p) {
    uint32_t* matches = &lists->matches[size_t(p) * k];
    uint32_t* costs = &lists->costs[size_t(p) * k];
    const uint32_t* extra = &more.matches[size_t(p) * k];
    const uint32_t* extra_costs = &more.costs[size_t(p) * k];
    for (int32_t e = 0; e < k && extra_costs[e] < costs[k - 1]; ++e) {
      if (std::find(matches, matches + k, extra[e]) != matches + k) continue;
      int32_t s = k - 1;
      for (; s > 0 && costs[s - 1] > extra_costs[e]; --s)
        matches[s] = matches[s - 1], costs[s] = costs[s - 1];
      matches[s] = extra[e], costs[s] = extra_costs[e];
    }
  });
}

void Search(const PatchGrid& a, const PatchGrid& b, const SearchPlan& plan, NeighbourLists* lists) {
  const int32_t bands = (a.cols + kBandCols - 1) / kBandCols;
  for (int32_t pass = 0; pass < plan.passes; ++pass) {
    // Bands of one parity touch no anchor that another reads: they run side by side.
    for (int32_t parity = 0; parity < 2; ++parity) {
      ParallelFor(0, (bands - parity + 1) / 2, 1, [&](int64_t i) {
        SearchBand(a, b, plan, pass, parity + 2 * int32_t(i), lists);
      });
    }
  }
}

}  // namespace gck
