#include "matcher/patch_tree.h"

#include <algorithm>
#include <cstring>

#include "matcher/thread_team.h"

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

void PatchTree::Leaves(const int16_t* vectors, uint32_t count, uint32_t* out) const {
  std::fill(out, out + count, 0u);
  for (int32_t level = 0; level < depth; ++level)
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t node = out[i];
      out[i] = 2 * node + (vectors[size_t(i) * dims + split_dim[node]] < split_value[node] ? 1 : 2);
    }
  for (uint32_t i = 0; i < count; ++i) out[i] -= leaves() - 1;
}

namespace {

// Anchors of B in some order, each with its vector beside it: a split reads one value of each and
// moves both, so every level streams through memory instead of looking values up by anchor.
struct Entries {
  uint32_t* anchors;
  int16_t* vectors;
  int32_t dims;

  int16_t value(uint32_t i, int32_t d) const { return vectors[size_t(i) * dims + d]; }
  void MoveTo(uint32_t i, const Entries& to, uint32_t j) const {
    to.anchors[j] = anchors[i];
    int16_t* out = &to.vectors[size_t(j) * dims];
    const int16_t* in = &vectors[size_t(i) * dims];
    // The usual lengths (3 or 4 kernels, grey or colour) as fixed-size copies the compiler inlines.
    switch (dims) {
      case 3: std::memcpy(out, in, 3 * sizeof(int16_t)); break;
      case 4: std::memcpy(out, in, 4 * sizeof(int16_t)); break;
      case 9: std::memcpy(out, in, 9 * sizeof(int16_t)); break;
      case 12: std::memcpy(out, in, 12 * sizeof(int16_t)); break;
      default: std::memcpy(out, in, dims * sizeof(int16_t));
    }
  }
};

struct Split {
  int32_t dim;
  int16_t value;
};

// The dimension of widest range among the entries [first, last) of one node, and its median.
Split ChooseSplit(const Entries& from, uint32_t first, uint32_t last) {
  const uint32_t stride = std::max<uint32_t>(1, (last - first) / kSample);
  int32_t widest = 0, range = -1;
  for (int32_t d = 0; d < from.dims; ++d) {
    int32_t low = INT16_MAX, high = INT16_MIN;
    for (uint32_t q = first; q < last; q += stride)
      low = std::min<int32_t>(low, from.value(q, d)), high = std::max<int32_t>(high, from.value(q, d));
    if (high - low > range) range = high - low, widest = d;
  }
  int16_t sample[2 * kSample + 1];
  int32_t taken = 0;
  for (uint32_t q = first; q < last; q += stride) sample[taken++] = from.value(q, widest);
  std::nth_element(sample, sample + taken / 2, sample + taken);
  return {widest, taken > 0 ? sample[taken / 2] : int16_t(0)};
}

// Where the next entries of a node go: the next free place at the front and before the back, and
// whether the last value equal to the split went to the front.
struct Cursor {
  uint32_t low, high;
  bool toggle;
};

// Values below the split to the front, as Leaf() sends them to the first child, values equal to it
// alternately to either side, so that a flat region still splits in halves; without branches,
// since the comparison is a coin toss.
Cursor Partition(Split split, const Entries& from, const Entries& into, uint32_t first,
                 uint32_t last, Cursor at) {
  for (uint32_t q = first; q < last; ++q) {
    const int16_t v = from.value(q, split.dim);
    at.toggle ^= v == split.value;
    const bool below = v < split.value || (v == split.value && at.toggle);
    from.MoveTo(q, into, below ? at.low : at.high - 1);
    at.low += below;
    at.high -= !below;
  }
  return at;
}

// Entries per block when one node is partitioned by several threads.
constexpr uint32_t kBlock = 1u << 16;

// The same partition as one Partition() over the node, in blocks side by side: each block's counts
// of values below and equal to the split tell where its entries start and how the ties alternate.
Cursor PartitionInBlocks(Split split, const Entries& from, const Entries& into, uint32_t first,
                         uint32_t last) {
  const uint32_t blocks = (last - first + kBlock - 1) / kBlock;
  std::vector<uint32_t> below(blocks), ties(blocks);
  ParallelFor(0, blocks, 1, [&](int64_t block) {
    const uint32_t b = uint32_t(block);
    uint32_t lt = 0, eq = 0;
    for (uint32_t q = first + b * kBlock, end = std::min(last, q + kBlock); q < end; ++q) {
      const int16_t v = from.value(q, split.dim);
      lt += v < split.value;
      eq += v == split.value;
    }
    below[b] = lt, ties[b] = eq;
  });
  std::vector<Cursor> starts(blocks);
  Cursor at{first, last, false};
  for (uint32_t b = 0; b < blocks; ++b) {
    starts[b] = at;
    // The block's ties take turns starting from the side after the last tie before it.
    const uint32_t front = below[b] + (at.toggle ? ties[b] / 2 : (ties[b] + 1) / 2);
    const uint32_t size = std::min(last - first - b * kBlock, kBlock);
    at.low += front;
    at.high -= size - front;
    at.toggle ^= ties[b] & 1;
  }
  ParallelFor(0, blocks, 1, [&](int64_t block) {
    const uint32_t b = uint32_t(block);
    Partition(split, from, into, first + b * kBlock, std::min(last, first + (b + 1) * kBlock),
              starts[b]);
  });
  return at;
}

// Splits tree node `node`, whose entries are from[first, last), into `into`. Returns where the
// second child starts.
uint32_t SplitNode(const Entries& from, const Entries& into, uint32_t first, uint32_t last,
                   bool in_blocks, PatchTree* tree, uint32_t node) {
  const Split split = ChooseSplit(from, first, last);
  tree->split_dim[node] = static_cast<int8_t>(split.dim);
  tree->split_value[node] = split.value;
  return in_blocks ? PartitionInBlocks(split, from, into, first, last).low
                   : Partition(split, from, into, first, last, {first, last, false}).low;
}

// Nodes of at most this many entries are split down to their leaves one after the other, while
// their entries stay in the cache, instead of one level of the whole tree at a time.
constexpr uint32_t kSubtree = 1u << 14;

// Splits node `node`, whose entries are from[first, last), down to the leaves, `levels` below it,
// the two buffers taking turns; the leaves' entries end in `from` when `levels` is even.
void SplitDown(const Entries& from, const Entries& into, uint32_t first, uint32_t last,
               uint32_t node, int32_t levels, PatchTree* tree) {
  if (levels == 0) {
    tree->leaf_start[node - (tree->leaves() - 1)] = first;
    return;
  }
  const uint32_t middle = SplitNode(from, into, first, last, false, tree, node);
  SplitDown(into, from, first, middle, 2 * node + 1, levels - 1, tree);
  SplitDown(into, from, middle, last, 2 * node + 2, levels - 1, tree);
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
  tree.vectors.resize(size_t(count) * dims);
  ParallelFor(0, count, 0, [&](int64_t q) {
    tree.anchors[q] = uint32_t(q);
    std::memcpy(&tree.vectors[size_t(q) * dims], &vectors[size_t(q) * dims], sizeof(int16_t) * dims);
  });
  UninitializedVector<uint32_t> anchors_into(count);
  UninitializedVector<int16_t> vectors_into(size_t(count) * dims);
  tree.leaf_start.assign(tree.leaves() + 1, count);
  // Node i of a level covers [bounds[i], bounds[i + 1]). Each node's split depends on its own
  // entries only, so the order in which nodes are split does not change the tree.
  std::vector<uint32_t> bounds = {0, count}, next;
  for (int32_t level = 0; level < tree.depth; ++level) {
    const uint32_t level_nodes = 1u << level;
    const Entries from{tree.anchors.data(), tree.vectors.data(), dims};
    const Entries into{anchors_into.data(), vectors_into.data(), dims};
    if ((count >> level) <= kSubtree) {
      const int32_t levels = tree.depth - level;
      ParallelFor(0, level_nodes, 1, [&](int64_t i) {
        SplitDown(from, into, bounds[i], bounds[i + 1], level_nodes - 1 + uint32_t(i), levels,
                  &tree);
      });
      if (levels % 2 == 1) {
        tree.anchors.swap(anchors_into);
        tree.vectors.swap(vectors_into);
      }
      bounds.clear();
      break;
    }
    next.assign(2 * level_nodes + 1, 0);
    const auto split = [&](uint32_t i, bool in_blocks) {
      next[2 * i + 1] = SplitNode(from, into, bounds[i], bounds[i + 1], in_blocks, &tree,
                                  level_nodes - 1 + i);
      next[2 * i + 2] = bounds[i + 1];
    };
    // Few large nodes: each split by all threads; many: the nodes side by side. Either way gives
    // the same tree.
    if (level_nodes < 4 * uint32_t(TeamThreads())) {
      for (uint32_t i = 0; i < level_nodes; ++i) split(i, true);
    } else {
      // Small nodes are handed out a block's worth at a time.
      const int32_t chunk = int32_t(std::max<uint32_t>(1, kBlock / std::max<uint32_t>(1, count >> level)));
      ParallelFor(0, level_nodes, chunk, [&](int64_t i) { split(uint32_t(i), false); });
    }
    bounds.swap(next);
    tree.anchors.swap(anchors_into);
    tree.vectors.swap(vectors_into);
  }
  // Split all the way level by level (no node small enough to finish alone): bounds are the leaves.
  for (uint32_t leaf = 0; leaf + 1 < bounds.size(); ++leaf) tree.leaf_start[leaf] = bounds[leaf];
  tree.leaf_of.resize(count);
  ParallelFor(0, tree.leaves(), 0, [&](int64_t leaf) {
    for (uint32_t i = tree.begin(uint32_t(leaf)); i < tree.end(uint32_t(leaf)); ++i)
      tree.leaf_of[tree.anchors[i]] = uint32_t(leaf);
  });
  return tree;
}

}  // namespace gck
