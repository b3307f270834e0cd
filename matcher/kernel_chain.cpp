#include "matcher/kernel_chain.h"

#include <cassert>
#include <cstddef>
#include <utility>

namespace gck {
namespace {

// A Walsh vector is the product form prod_i (1 + sign_i z^(2^i)); `signs` holds bit i set where
// sign_i = -1. Entry t is the product of sign_i over the bits i set in t.
std::vector<int> VectorOfSigns(int32_t side, uint32_t signs) {
  std::vector<int> v(side);
  for (int32_t t = 0; t < side; ++t)
    v[t] = (__builtin_popcount(static_cast<uint32_t>(t) & signs) & 1) ? -1 : 1;
  return v;
}

int SignChanges(const std::vector<int>& v) {
  int changes = 0;
  for (size_t t = 1; t < v.size(); ++t) changes += v[t] != v[t - 1];
  return changes;
}

// signs_of[s]: the sign pattern of the vector with sequency s.
std::vector<uint32_t> SignsBySequency(int32_t side) {
  std::vector<uint32_t> signs_of(side);
  for (uint32_t signs = 0; signs < static_cast<uint32_t>(side); ++signs)
    signs_of[SignChanges(VectorOfSigns(side, signs))] = signs;
  return signs_of;
}

std::vector<std::pair<int32_t, int32_t>> SquareWalk(int32_t side) {
  std::vector<std::pair<int32_t, int32_t>> walk{{0, 0}};
  for (int32_t n = 1; n < side; ++n) {
    std::vector<std::pair<int32_t, int32_t>> ring;
    for (int32_t i = 0; i <= n; ++i) ring.emplace_back(i, n);      // down the last column
    for (int32_t j = n - 1; j >= 0; --j) ring.emplace_back(n, j);  // back along the last row
    if (n % 2 == 0) {  // even rings enter where the odd ring before them left: at (n, 0)
      for (auto& [i, j] : ring) std::swap(i, j);
    }
    walk.insert(walk.end(), ring.begin(), ring.end());
  }
  return walk;
}

}  // namespace

std::vector<int> WalshVector(int32_t side, int32_t sequency) {
  return VectorOfSigns(side, SignsBySequency(side)[sequency]);
}

int32_t KernelSide(int32_t width) {
  int32_t side = 1;
  while (side * 2 <= width) side *= 2;
  return side;
}

KernelChain SequencyChain(int32_t side, int32_t count, int32_t end_trim) {
  assert(side >= 1 && (side & (side - 1)) == 0 && count >= 1 && count <= side * side);
  const std::vector<uint32_t> signs_of = SignsBySequency(side);
  const std::vector<std::pair<int32_t, int32_t>> walk = SquareWalk(side);
  KernelChain chain;
  chain.side = side;
  for (int32_t n = 0; n < count; ++n) {
    chain.row_sequency.push_back(walk[n].first);
    chain.col_sequency.push_back(walk[n].second);
    if (n == 0) continue;
    const bool horizontal = walk[n].second != walk[n - 1].second;
    const uint32_t before = signs_of[horizontal ? walk[n - 1].second : walk[n - 1].first];
    const uint32_t after = signs_of[horizontal ? walk[n].second : walk[n].first];
    const uint32_t changed = before ^ after;
    assert(changed != 0 && (changed & (changed - 1)) == 0);
    // The pair shares every sign but the one at z^delta; the member with + there is the [u, u] one.
    GckStepParams step;
    step.width = side;
    step.delta = static_cast<int32_t>(changed);
    step.alpha_positive = (after & changed) == 0;
    step.horizontal = horizontal;
    step.end_trim = end_trim;
    chain.steps.push_back(step);
  }
  return chain;
}

}  // namespace gck
