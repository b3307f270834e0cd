#pragma once
// A kd-tree over the projection vectors of B's anchors. A vector's leaf holds anchors of B whose
// patches look alike, so the leaf of an anchor of A, and the leaves of the matches its neighbours
// propose, are small sets of promising candidates.

#include <cstdint>
#include <vector>

#include "matcher/uninitialized.h"

namespace gck {

struct PatchTree {
  int32_t dims = 0;
  int32_t leaf_size = 0;
  // Anchors of B in leaf order, leaf l holding positions leaf_start[l] .. leaf_start[l + 1] - 1,
  // and their vectors in the same order.
  UninitializedVector<uint32_t> anchors;
  UninitializedVector<int16_t> vectors;
  std::vector<uint32_t> leaf_start;
  UninitializedVector<uint32_t> leaf_of;  // per anchor of the tree (its own index), its leaf
  // Set by the caller where patches are small: the pixels of member i's patch, its columns one
  // after another, at i * patch_bytes, so that a leaf's patches are read from one place.
  int32_t patch_bytes = 0;
  UninitializedVector<uint8_t> patches;
  // Node n splits on dimension split_dim[n] at split_value[n]: values below go to child 2n + 1,
  // values above to child 2n + 2, and anchors equal to it are shared between the two.
  std::vector<int8_t> split_dim;
  std::vector<int16_t> split_value;
  int32_t depth = 0;

  // Set by the caller when the tree holds the anchors of every col_step-th column of a grid of
  // `rows` anchor rows, tree index r + (c / col_step) * rows for the anchor (r, c).
  int32_t rows = 0;
  int32_t col_step = 1;

  uint32_t leaves() const { return uint32_t(1) << depth; }
  // The leaf of the grid's anchor (row, col), or of the tree's anchor just left of it.
  uint32_t LeafOfAnchor(int32_t row, int32_t col) const {
    return leaf_of[size_t(row) + size_t(col / col_step) * size_t(rows)];
  }
  // Positions of leaf l in `anchors` and `vectors`: [begin, end).
  uint32_t begin(uint32_t leaf) const { return leaf_start[leaf]; }
  uint32_t end(uint32_t leaf) const { return leaf_start[leaf + 1]; }
  uint32_t Leaf(const int16_t* vector) const;
  // The leaves of `count` vectors stored one after the other, all descending a level at a time so
  // that their lookups overlap instead of waiting on each other.
  void Leaves(const int16_t* vectors, uint32_t count, uint32_t* leaves) const;
};

// vectors: count x dims values, anchor q at q * dims. Leaves hold about `leaf_size` anchors.
PatchTree BuildTree(const int16_t* vectors, uint32_t count, int32_t dims, int32_t leaf_size);

}  // namespace gck
