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
  for (uint32_t q = 0; q < count; ++q)
    for (int32_t d = 0; d < dims; ++d) planes[size_t(d) * count + q] = vectors[size_t(q) * dims + d];
  // Node n of a level covers [bounds[i], bounds[i + 1]) with i its index within the level.
  std::vector<uint32_t> bounds = {0, count}, next;
  std::vector<int16_t> sample(kSample);
  std::vector<uint32_t> split_into(count);
  const auto value = [&](uint32_t i, int32_t d) { return planes[size_t(d) * count + tree.anchors[i]]; };
  for (int32_t level = 0; level < tree.depth; ++level) {
    next.assign(1, 0);
    for (uint32_t i = 0; i + 1 < bounds.size(); ++i) {
      const uint32_t node = (1u << level) - 1 + i;
      const uint32_t first = bounds[i], last = bounds[i + 1];
      const uint32_t stride = std::max<uint32_t>(1, (last - first) / kSample);
      int32_t widest = 0, range = -1;
      for (int32_t d = 0; d < dims; ++d) {
        int32_t low = INT16_MAX, high = INT16_MIN;
        for (uint32_t q = first; q < last; q += stride) low = std::min<int32_t>(low, value(q, d)), high = std::max<int32_t>(high, value(q, d));
        if (high - low > range) range = high - low, widest = d;
      }
      sample.clear();
      for (uint32_t q = first; q < last; q += stride) sample.push_back(value(q, widest));
      std::nth_element(sample.begin(), sample.begin() + sample.size() / 2, sample.end());
      const int16_t split = sample.empty() ? 0 : sample[sample.size() / 2];
      tree.split_dim[node] = static_cast<int8_t>(widest);
      tree.split_value[node] = split;
      // Values below the split to the front, as Leaf() sends them to the first child, values equal
      // to it alternately to either side, so that a flat region still splits in halves; without
      // branches, since the comparison is a coin toss.
      const int16_t* plane = &planes[size_t(widest) * count];
      uint32_t low = first, high = last;
      bool toggle = false;
      for (uint32_t q = first; q < last; ++q) {
        const uint32_t anchor = tree.anchors[q];
        const int16_t v = plane[anchor];
        toggle ^= v == split;
        const bool below = v < split || (v == split && toggle);
        split_into[below ? low : high - 1] = anchor;
        low += below;
        high -= !below;
      }
      next.push_back(low);
      next.push_back(last);
    }
    bounds.swap(next);
    tree.anchors.swap(split_into);
  }
  tree.leaf_start = bounds;
  tree.vectors.resize(size_t(count) * dims);
  for (uint32_t i = 0; i < count; ++i)
    std::copy_n(&vectors[size_t(tree.anchors[i]) * dims], dims, &tree.vectors[size_t(i) * dims]);
  tree.leaf_of.resize(count);
  for (uint32_t leaf = 0; leaf < tree.leaves(); ++leaf)
    for (uint32_t i = tree.begin(leaf); i < tree.end(leaf); ++i) tree.leaf_of[tree.anchors[i]] = leaf;
  return tree;
}

}  // namespace gck
