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

}  // namespace
}  // namespace gck
