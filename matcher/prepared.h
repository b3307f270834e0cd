#pragma once
// One image made ready for matching: its coarser copies, the anchors of each with their patch
// sums, the projection vectors of its full-size anchors and, when it is matched against, the tree
// over those vectors. A video frame is prepared once for the two pairs it belongs to.

#include <cstdint>
#include <memory>
#include <vector>

#include "matcher/image.h"
#include "matcher/interleaved.h"
#include "matcher/matcher.h"
#include "matcher/patch_search.h"
#include "matcher/patch_tree.h"
#include "matcher/projections.h"
#include "matcher/thread_team.h"

namespace gck {

struct PreparedImage {
  const Image* source = nullptr;  // not owned: the vectors may be made from it later
  int32_t rows = 0, cols = 0, channels = 0;
  int32_t levels = 0;                     // coarse levels of the match it is prepared for
  std::vector<InterleavedImage> pyramid;  // level l halves the size l times; 0 the full size;
                                          // the coarse ones may be made only when needed
  std::vector<PatchGrid> grids;           // the anchors of each level (they point into pyramid)
  Projections vectors;                    // of the anchors of level vectors_level, when
  int32_t vectors_level = -1;             // options.kernels > 0 (-1: none yet)
  int32_t norm = 0;                       // their squared distance is at most norm x the patches'
  PatchTree tree;                         // over the vectors, when prepared to be matched against

  PreparedImage() = default;
  PreparedImage(const PreparedImage&) = delete;
  PreparedImage& operator=(const PreparedImage&) = delete;
};

// Coarser levels that a pair of these sizes allows (at most options.levels): each keeps the lists'
// k distinct anchors in B and enough anchors in A to be worth it.
int32_t CoarseLevels(int32_t rows_a, int32_t cols_a, int32_t rows_b, int32_t cols_b,
                     const MatchOptions& options);

// The level the tree serves in a match with `levels` coarse levels against a B of this size: the
// chosen one, or a coarser one where B has more than options.tree_anchors anchors there.
int32_t TreeLevel(int32_t levels, int32_t rows_b, int32_t cols_b, const MatchOptions& options);

// What an image is prepared for.
struct PrepareFor {
  int32_t levels = 0;    // the coarse levels of the match
  int32_t tree_level = 0;  // the level the tree serves (TreeLevel)
  bool coarse = true;    // make them now (a match from a start field needs none)
  bool vectors = true;   // make the vectors now (of the tree's level)
  bool tree = false;     // and the tree over them, needed where the image is B
};

// Prepares `image` with `channels` channels (a grey image is repeated into three). The image must
// outlive the prepared one.
std::unique_ptr<PreparedImage> Prepare(const Image& image, int32_t channels,
                                       const MatchOptions& options, const PrepareFor& what);

// Makes the coarse levels that are not there yet.
void MakeCoarse(PreparedImage* image, const MatchOptions& options);

// Makes the vectors of pyramid level `level` (and the tree, when `tree`) unless they are there;
// vectors of another level are replaced. The level must have been made.
void MakeSearchable(PreparedImage* image, const MatchOptions& options, bool tree, int32_t level);

// How a match from a start field searches the anchors that the start leaves unsettled.
struct StartSearch {
  int32_t radius = 0;         // random search windows from this many anchors (0: all of B) down
  int32_t tries = 2;          // random candidates in each window
  double cold_share = 0.3;    // from this share of anchors whose recorded errors they no longer
                              // meet on, the match is made as without a start, whose entries then
                              // join the lists
  bool same_place = false;    // each anchor also tries the anchor at its own place in B, as a
                              // match without a start does (a still camera's best guess)
  double restart_above = 0;   // when > 0: a start whose mean error is more than this many times
                              // the field's recorded one, or less than its share, is dropped and
                              // the pair matched afresh (a scene cut in a video)
};

// The field of A against B (or within A when `self`, with b the same object), both prepared
// with the same channels and levels. From a start field, the coarse levels are skipped and the
// vectors made only if an anchor needs the tree; `restarted`, when given, tells whether the start
// was dropped.
Field MatchPrepared(PreparedImage& a, PreparedImage& b, const MatchOptions& options, bool self,
                    Field* start, const StartSearch& how = {}, bool* restarted = nullptr);

// The callbacks of a match's options, for RunOnTeam.
MatchWatch WatchOf(const MatchOptions& options);

}  // namespace gck
