#include "matcher/patch_tree.h"

#include <algorithm>
#include <numeric>

namespace gck {
namespace {

// Ranges and medians are judged on an even sample of a node's anchors: the tree needs only
// roughly balanced splits, and the build stays a few streaming passes per level.
constexpr uint32_t kSample = 16;

}  // namespace

uint32_t PatchTree::Leaf(const int16_t* vector) const {
  uint32_t node = 0;
  for (int32_t level = 0; level < depth; ++level)
    node = 2 * node + (vector[split_dim[node]] < split_value[node] ? 1 : 2);
  return node - (leaves() - 1);
}

namespace {

// Splits the anchors of one node, from[first, last), into `into`: those below the split value of
// the dimension of widest range first. Returns where the second child starts.
uint32_t SplitNode(const std::vector<int16_t>& planes, uint32_t count, int32_t dims,
                   const uint32_t* from, uint32_t* into, uint32_t first, uint32_t last,
                   int8_t* split_dim, int16_t* split_value) {
  const uint32_t stride = std::max<uint32_t>(1, (last - first) / kSample);
  const auto value = [&](uint32_t i, int32_t d) { return planes[size_t(d) * count + from[i]]; };
  int32_t widest = 0, range = -1;
  for (int32_t d = 0; d < dims; ++d) {
    int32_t low = INT16_MAX, high = INT16_MIN;
    for (uint32_t q = first; q < last; q += stride)
      low = std::min<int32_t>(low, value(q, d)), high = std::max<int32_t>(high, value(q, d));
    if (high - low > range) range = high - low, widest = d;
  }
  int16_t sample[2 * kSample + 1];
  int32_t taken = 0;
  for (uint32_t q = first; q < last; q += stride) sample[taken++] = value(q, widest);
  std::nth_element(sample, sample + taken / 2, sample + taken);
  const int16_t split = taken > 0 ? sample[taken / 2] : 0;
  *split_dim = static_cast<int8_t>(widest);
  *split_value = split;
  // Values below the split to the front, as Leaf() sends them to the first child, values equal
  // to it alternately to either side, so that a flat region still splits in halves; without
  // branches, since the comparison is a coin toss.
  const int16_t* plane = &planes[size_t(widest) * count];
  uint32_t low = first, high = last;
  bool toggle = false;
  for (uint32_t q = first; q < last; ++q) {
    const uint32_t anchor = from[q];
    const int16_t v = plane[anchor];
    toggle ^= v == split;
    const bool below = v < split || (v == split && toggle);
    into[below ? low : high - 1] = anchor;
    low += below;
    high -= !below;
  }
  return low;
}

}  // namespace

PatchTree BuildTree(const int16_t* vectors, uint32_t count, int32_t dims, int32_t leaf_size) {
  PatchTree tree;
  tree.dims = dims;
  tree.leaf_size = leaf_size;
  while ((uint64_t(count) >> (tree.depth + 1)) >= uint64_t(leaf_size)) ++tree.depth;
  const uint32_t nodes = tree.leaves() - 1;
  tree.split_dim.assign(nodes, 0);
  tree.split_value.assign(nodes, 0);
  tree.anchors.resize(count);
  std::iota(tree.anchors.begin(), tree.anchors.end(), 0u);
  // One plane per dimension while splitting: a split reads one value of each anchor.
  std::vector<int16_t> planes(size_t(count) * dims);
#pragma omp parallel for schedule(static)
  for (uint32_t q = 0; q < count; ++q)
    for (int32_t d = 0; d < dims; ++d) planes[size_t(d) * count + q] = vectors[size_t(q) * dims + d];
  // Node i of a level covers [bounds[i], bounds[i + 1]); the nodes of a level split side by side.
  std::vector<uint32_t> bounds = {0, count}, next;
  std::vector<uint32_t> split_into(count);
  for (int32_t level = 0; level < tree.depth; ++level) {
    const uint32_t level_nodes = 1u << level;
    next.assign(2 * level_nodes + 1, 0);
#pragma omp parallel for schedule(dynamic, 1)
    for (uint32_t i = 0; i < level_nodes; ++i) {
      const uint32_t node = level_nodes - 1 + i;
      next[2 * i + 1] = SplitNode(planes, count, dims, tree.anchors.data(), split_into.data(),
                                  bounds[i], bounds[i + 1], &tree.split_dim[node],
                                  &tree.split_value[node]);
      next[2 * i + 2] = bounds[i + 1];
    }
    bounds.swap(next);
    tree.anchors.swap(split_into);
  }
  tree.leaf_start = bounds;
  tree.vectors.resize(size_t(count) * dims);
  tree.leaf_of.resize(count);
#pragma omp parallel for schedule(static)
  for (uint32_t leaf = 0; leaf < tree.leaves(); ++leaf)
    for (uint32_t i = tree.begin(leaf); i < tree.end(leaf); ++i) {
      tree.leaf_of[tree.anchors[i]] = leaf;
      std::copy_n(&vectors[size_t(tree.anchors[i]) * dims], dims, &tree.vectors[size_t(i) * dims]);
    }
  return tree;
}

}  // namespace gck
