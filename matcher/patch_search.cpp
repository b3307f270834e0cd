#include "matcher/patch_search.h"

#include <emmintrin.h>

#include <algorithm>
#include <limits>

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

  // Every member of a leaf whose vector does not rule it out.
  void TryLeaf(const PatchTree& tree, uint32_t leaf, const int16_t* vectors_a, uint32_t norm) {
    const int32_t dims = tree.dims;
    const int16_t* own = &vectors_a[size_t(p_) * dims];
    for (uint32_t i = tree.begin(leaf), end = tree.end(leaf); i < end; ++i) {
      const uint64_t limit = uint64_t(costs_[k_ - 1]) * norm;
      if (VectorDistance(own, &tree.vectors[size_t(i) * dims], dims) > limit) continue;
      const uint32_t q = tree.anchors[i];
      Try(RowOf(q), ColOf(q), false);
    }
  }
  // Every entry is an exact copy: nothing can enter the list any more.
  bool settled() const { return costs_[k_ - 1] == 0; }
  uint32_t entry(int32_t s) const { return matches_[s]; }

  // Tries anchor (row, col) of B, which must lie inside B. `bound` first compares the patch sums,
  // which rejects most far-off candidates without touching their pixels.
  void Try(int32_t row, int32_t col, bool bound) {
    const uint32_t q = Pack(row, col);
    if (q == self_match_) return;
    // A match already in the list is not measured again; neighbours often propose it.
    for (int32_t s = 0; s < k_; ++s)
      if (matches_[s] == q) return;
    const uint32_t worst = costs_[k_ - 1];
    if (bound && sums_a_ && SumsExceed(row, col, worst)) return;
    const uint32_t cost =
        InterleavedSsd(patch_a_, stride_a_, b_.image->at(row, col), stride_b_, column_bytes_,
                       a_.width, worst);
    if (cost >= worst) return;
    if (k_ == 1) {
      matches_[0] = q, costs_[0] = cost;
      return;
    }
    int32_t s = k_ - 1;
    for (; s > 0 && costs_[s - 1] > cost; --s) matches_[s] = matches_[s - 1], costs_[s] = costs_[s - 1];
    matches_[s] = q, costs_[s] = cost;
  }

 private:
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
  for (int32_t i = 0; i <= last - first; ++i) {
    CheckCancelled();
    const int32_t c = forward ? first + i : last - i;
    for (int32_t j = 0; j < a.rows; ++j) {
      const int32_t r = forward ? j : a.rows - 1 - j;
      search.Start(r, c);
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
        const uint32_t* n = &lists->matches[(size_t(r) + size_t(c - step) * a.rows) * k];
        for (int32_t s = 0; s < k; ++s) {
          const int32_t col = ColOf(n[s]) + step;
          if (col >= 0 && col < b.cols) search.Try(RowOf(n[s]), col, false);
        }
      }
      if (plan.searched && !plan.searched[size_t(r) + size_t(c) * a.rows]) continue;
      if (plan.tree && search.worst() > plan.good_enough) {
        const size_t p = size_t(r) + size_t(c) * a.rows;
        const uint32_t own = plan.tree->Leaf(&plan.vectors_a[p * plan.tree->dims]);
        search.TryLeaf(*plan.tree, own, plan.vectors_a, plan.norm);
        const uint32_t best = search.best();
        const uint32_t leaf = plan.tree->leaf_of[size_t(RowOf(best)) + size_t(ColOf(best)) * b.rows];
        if (leaf != own)
          search.TryLeaf(*plan.tree, leaf, plan.vectors_a, plan.norm);
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
  grid.sums.assign(size_t(grid.anchors()) * ch, 0);
  // Column sums of `width` rows, slid down each column, then summed over `width` columns.
  std::vector<int32_t> column(size_t(grid.rows) * image.cols * ch);
  ParallelFor(0, image.cols, 0, [&](int64_t c) {
    const uint8_t* px = image.at(0, int32_t(c));
    int32_t* out = &column[size_t(c) * grid.rows * ch];
    for (int32_t k = 0; k < ch; ++k) {
      int32_t sum = 0;
      for (int32_t r = 0; r < width; ++r) sum += px[r * ch + k];
      out[k] = sum;
      for (int32_t r = 1; r < grid.rows; ++r) {
        sum += px[(r + width - 1) * ch + k] - px[(r - 1) * ch + k];
        out[r * ch + k] = sum;
      }
    }
  });
  const size_t col_values = size_t(grid.rows) * ch;
  ParallelFor(0, int64_t(col_values), 0, [&](int64_t v) {
    int32_t sum = 0;
    for (int32_t c = 0; c < width; ++c) sum += column[c * col_values + v];
    grid.sums[v] = sum;
    for (int32_t c = 1; c < grid.cols; ++c) {
      sum += column[(c + width - 1) * col_values + v] - column[(c - 1) * col_values + v];
      grid.sums[c * col_values + v] = sum;
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
                          const PatchGrid& b, int32_t k, bool self, uint64_t seed) {
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
      // The given matches, each once and never the anchor itself, best first, k at most.
      int32_t n = 0;
      for (const uint32_t* q = &starts[p * per_anchor]; q < &starts[(p + 1) * per_anchor]; ++q) {
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
      std::copy_n(list.begin(), k, &lists.matches[p * k]);
      std::copy_n(costs.begin(), k, &lists.costs[p * k]);
      OfferSamePlace(a, r, c, b, self, &lists.matches[p * k], &lists.costs[p * k], k);
    }
  });
  return lists;
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
