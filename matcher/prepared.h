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
  Projections vectors;                    // of the full-size anchors, when options.kernels > 0
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

// What an image is prepared for.
struct PrepareFor {
  int32_t levels = 0;    // the coarse levels of the match
  bool coarse = true;    // make them now (a match from a start field needs none)
  bool vectors = true;   // make the full-size vectors now
  bool tree = false;     // and the tree over them, needed where the image is B
};

// Prepares `image` with `channels` channels (a grey image is repeated into three). The image must
// outlive the prepared one.
std::unique_ptr<PreparedImage> Prepare(const Image& image, int32_t channels,
                                       const MatchOptions& options, const PrepareFor& what);

// Makes the coarse levels that are not there yet.
void MakeCoarse(PreparedImage* image, const MatchOptions& options);

// Makes the vectors (and the tree, when `tree`) unless they are there.
void MakeSearchable(PreparedImage* image, const MatchOptions& options, bool tree);

// How a match from a start field searches the anchors that the start leaves unsettled.
struct StartSearch {
  int32_t radius = 0;         // random search windows from this many anchors (0: all of B) down
  int32_t tries = 2;          // random candidates in each window
  double tree_share = 0.3;    // from this share of unsettled anchors on, the tree instead
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
