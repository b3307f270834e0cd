#pragma once
// Lists of the k nearest patches by propagation and random search, every candidate measured by
// its exact patch distance: the search that each level of the matcher's pyramid runs.

#include <cstdint>
#include <vector>

#include "matcher/interleaved.h"
#include "matcher/patch_tree.h"
#include "matcher/uninitialized.h"

namespace gck {

class CopyTable;

// The anchors of one image at one level: the pixels whose width x width patch lies inside it.
struct PatchGrid {
  const InterleavedImage* image = nullptr;
  int32_t width = 0;
  int32_t rows = 0;  // anchor rows: image rows - width + 1
  int32_t cols = 0;
  // The patch sum of each channel at every anchor, channel k of anchor r + c * rows at
  // (r + c * rows) * channels + k: a lower bound of the distance costs three subtractions.
  // Empty when not computed: random candidates are then measured without it.
  UninitializedVector<int32_t> sums;

  uint32_t anchors() const { return static_cast<uint32_t>(rows) * static_cast<uint32_t>(cols); }
};

// `sums`: whether to compute the patch sums, which only the random search reads.
PatchGrid MakeGrid(const InterleavedImage& image, int32_t width, bool sums = true);

// A match is an anchor of B packed as row | column << 16 (both below 65536).
inline uint32_t Pack(int32_t row, int32_t col) { return uint32_t(row) | uint32_t(col) << 16; }
inline int32_t RowOf(uint32_t match) { return static_cast<int32_t>(match & 0xFFFF); }
inline int32_t ColOf(uint32_t match) { return static_cast<int32_t>(match >> 16); }

// k entries per anchor of A, anchor p = r + c * rows at p * k .. p * k + k - 1, each list sorted
// by cost (the sum of squared differences), smallest first, with distinct matches.
struct NeighbourLists {
  int32_t k = 0;
  UninitializedVector<uint32_t> matches;
  UninitializedVector<uint32_t> costs;
};

// How one level is searched.
struct SearchPlan {
  int32_t passes = 1;  // alternately forward (from the top-left) and backward
  bool backward_first = false;
  int32_t radius = 0;  // random search starts this many anchors around the best match, halving
                       // down to 1; 0 searches the whole of B, -1 not at all
  int32_t tries = 1;   // random candidates in each window
  bool self = false;   // A and B are one grid: an anchor never matches itself
  uint64_t seed = 1;
  // Optional: a tree over B's vectors (anchors stored packed). Each anchor then also tries the
  // members of its own leaf and of the leaves of the matches its neighbours propose, as far as the
  // vectors allow them to beat its list.
  const PatchTree* tree = nullptr;
  const int16_t* vectors_a = nullptr;   // A's vectors, tree->dims per anchor (p at p * dims)
  uint32_t norm = 0;  // vectors' squared distance is at most norm x the patches' distance
  uint32_t good_enough = 0;  // a list whose worst distance is this or less skips the tree
  int32_t entry_leaves = 1;  // besides its own leaf, an anchor visits the leaves of this many of
                             // its first list entries (at most 8)
  int32_t leaf_tries = 0;    // leaf members measured per anchor, those of closest vectors (0: all
                             // that the vectors' bound leaves a chance; at most 32)
  // Optional: B's anchors by the hash of their patch. In the first pass each anchor first tries
  // the anchors of B whose patch hashes as its own does, until its list holds only exact copies.
  const CopyTable* copies = nullptr;
  // Optional, one Effort per anchor of A (p at p): how much of the search it takes.
  const uint8_t* effort = nullptr;
};

// What an anchor takes of a sweep.
enum Effort : uint8_t {
  kLeave = 0,      // nothing: it keeps its list
  kNeighbours = 1, // its neighbours' matches only
  kSearch = 2,     // everything the plan offers
};

// Lists of k distinct random anchors of B (never the anchor itself within one image).
// Requires b.anchors() >= k (+ 1 within one image).
NeighbourLists RandomLists(const PatchGrid& a, const PatchGrid& b, int32_t k, bool self,
                           uint64_t seed);

// The lists of a level twice as fine: each anchor takes its coarse anchor's matches, doubled and
// moved by its own offset within the 2 x 2 block; an entry that falls on a repeat (or the anchor
// itself) is replaced by a random anchor. Costs are measured at the fine level.
NeighbourLists Upsampled(const NeighbourLists& coarse, const PatchGrid& coarse_a,
                         const PatchGrid& a, const PatchGrid& b, bool self, uint64_t seed);

// Lists from given matches: anchor p's candidates are starts[p * per_anchor ..] (packed anchors of
// B, which must lie inside it), measured, the best k distinct ones kept; too few distinct ones
// (or the anchor itself within one image) are made up by random anchors. `same_place`: the anchor
// at the same place in B is offered too, as in RandomLists.
NeighbourLists GivenLists(const uint32_t* starts, int32_t per_anchor, const PatchGrid& a,
                          const PatchGrid& b, int32_t k, bool self, bool same_place,
                          uint64_t seed);

// Adds each anchor's entries of `more` (same anchors and k, each list sorted, true costs) to its
// list in `lists`, keeping the best k distinct ones.
void MergeLists(const NeighbourLists& more, NeighbourLists* lists);

// Improves the lists: each pass visits every anchor of A once and tries the matches of the two
// neighbours visited before it, moved by one pixel, then random anchors in halving windows around
// its best match. Only a strictly smaller distance enters a list. The anchors are visited in
// column bands of fixed width, even bands before odd ones, so the result depends only on the
// grids, the plan and the lists it starts from.
void Search(const PatchGrid& a, const PatchGrid& b, const SearchPlan& plan, NeighbourLists* lists);

}  // namespace gck
