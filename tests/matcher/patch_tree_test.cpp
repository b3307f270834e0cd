#include "matcher/patch_tree.h"
#include "matcher/thread_team.h"

#include <gtest/gtest.h>

#include <random>

namespace gck {
namespace {

// Large nodes are partitioned by blocks side by side, small ones each by one thread; which nodes
// go which way depends on the thread count, the tree must not. Values of a narrow range make ties
// at nearly every split, the case whose alternation the blocks must carry across.
TEST(PatchTree, TheSameTreeForAnyThreadCount) {
  const uint32_t count = 1u << 20;
  const int32_t dims = 3;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> value(-3, 3);
  std::vector<int16_t> vectors(size_t(count) * dims);
  for (int16_t& v : vectors) v = static_cast<int16_t>(value(rng));
  PatchTree one, many;
  RunOnTeam(1, {}, [&] { one = BuildTree(vectors.data(), count, dims, 4); });
  RunOnTeam(64, {}, [&] { many = BuildTree(vectors.data(), count, dims, 4); });
  EXPECT_EQ(one.anchors, many.anchors);
  EXPECT_EQ(one.leaf_start, many.leaf_start);
  EXPECT_EQ(one.split_dim, many.split_dim);
  EXPECT_EQ(one.split_value, many.split_value);
}

// Every member of every leaf lies on its side of each split on the way down (values equal to a
// split may lie on either), through the levels split one at a time and the subtrees finished in
// cache; and the leaves found for a batch of vectors are those found one at a time.
TEST(PatchTree, MembersLieWithinTheirSplitsAndBatchesFindTheSameLeaves) {
  const uint32_t count = 100000;
  const int32_t dims = 4;
  std::mt19937 rng(6);
  std::uniform_int_distribution<int> value(-40, 40);
  std::vector<int16_t> vectors(size_t(count) * dims);
  for (int16_t& v : vectors) v = static_cast<int16_t>(value(rng));
  const PatchTree tree = BuildTree(vectors.data(), count, dims, 4);
  ASSERT_EQ(tree.end(tree.leaves() - 1), count);
  for (uint32_t leaf = 0; leaf < tree.leaves(); ++leaf) {
    ASSERT_LE(tree.begin(leaf), tree.end(leaf));
    for (uint32_t i = tree.begin(leaf); i < tree.end(leaf); ++i) {
      const int16_t* v = &vectors[size_t(tree.anchors[i]) * dims];
      ASSERT_EQ(tree.leaf_of[tree.anchors[i]], leaf);
      uint32_t node = leaf + tree.leaves() - 1;
      while (node > 0) {
        const uint32_t parent = (node - 1) / 2;
        const int16_t x = v[tree.split_dim[parent]], split = tree.split_value[parent];
        ASSERT_TRUE(node == 2 * parent + 1 ? x <= split : x >= split) << "leaf " << leaf;
        node = parent;
      }
    }
  }
  std::vector<int16_t> queries(size_t(1000) * dims);
  for (int16_t& v : queries) v = static_cast<int16_t>(value(rng));
  std::vector<uint32_t> leaves(1000);
  tree.Leaves(queries.data(), 1000, leaves.data());
  for (uint32_t q = 0; q < 1000; ++q) ASSERT_EQ(leaves[q], tree.Leaf(&queries[size_t(q) * dims]));
}

}  // namespace
}  // namespace gck
