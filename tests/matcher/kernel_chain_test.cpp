#include "matcher/kernel_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

#include "matcher/projections.h"
#include "tests/reference/patch_match_reference.h"

namespace gck {
namespace {

Image RandomImage(std::mt19937& rng, int rows, int cols, int channels) {
  Image image = BlankImage(rows, cols, channels);
  for (uint8_t& v : image.pixels) v = static_cast<uint8_t>(rng());
  return image;
}

TEST(KernelChain, WalshVectorsAreTheSequencyOrderedHadamardRows) {
  for (int side : {1, 2, 4, 8, 16}) {
    for (int s = 0; s < side; ++s) {
      EXPECT_EQ(WalshVector(side, s), reference::SequencyOrderedWalsh(side, s)) << side << " " << s;
    }
  }
}

TEST(KernelChain, WalksEveryKernelOnceByUnitMoves) {
  for (int side : {1, 2, 4, 8}) {
    const KernelChain chain = SequencyChain(side, side * side, 1);
    ASSERT_EQ(chain.row_sequency.size(), size_t(side * side));
    ASSERT_EQ(chain.steps.size(), size_t(side * side - 1));
    std::set<std::pair<int, int>> seen;
    for (size_t n = 0; n < chain.row_sequency.size(); ++n) {
      seen.emplace(chain.row_sequency[n], chain.col_sequency[n]);
      if (n == 0) continue;
      const int moved_down = std::abs(chain.row_sequency[n] - chain.row_sequency[n - 1]);
      const int moved_across = std::abs(chain.col_sequency[n] - chain.col_sequency[n - 1]);
      EXPECT_EQ(moved_down + moved_across, 1) << "step " << n;
      EXPECT_EQ(chain.steps[n - 1].horizontal, moved_across == 1);
      EXPECT_EQ(chain.steps[n - 1].width, side);
      EXPECT_EQ(chain.steps[n - 1].end_trim, 1);
    }
    EXPECT_EQ(seen.size(), size_t(side * side));
    // Every square of sequencies is finished before the next one starts.
    for (size_t n = 1; n < chain.row_sequency.size(); ++n) {
      const int ring = std::max(chain.row_sequency[n], chain.col_sequency[n]);
      const int before = std::max(chain.row_sequency[n - 1], chain.col_sequency[n - 1]);
      EXPECT_TRUE(ring == before || ring == before + 1);
    }
  }
}

TEST(KernelChain, KernelSideIsTheLargestPowerOfTwoWithin) {
  EXPECT_EQ(KernelSide(1), 1);
  EXPECT_EQ(KernelSide(3), 2);
  EXPECT_EQ(KernelSide(8), 8);
  EXPECT_EQ(KernelSide(15), 8);
  EXPECT_EQ(KernelSide(16), 16);
}

// Every projection the chain makes, at every anchor, is the direct sum of the kernel over the
// patch's top-left side x side pixels, with the sign the chain documents, scaled for sides past 8.
TEST(Projections, EqualDirectKernelSumsAtEveryAnchor) {
  std::mt19937 rng(11);
  const struct {
    int rows, cols, channels, width, kernels;
  } cases[] = {{6, 5, 1, 1, 1},    {9, 7, 3, 2, 4},    {12, 17, 1, 3, 4},   {13, 11, 3, 4, 16},
               {20, 23, 1, 5, 16}, {19, 21, 3, 8, 64}, {24, 18, 1, 11, 64}, {33, 35, 3, 16, 40},
               // anchors on both sides of the tiles' edges
               {530, 9, 1, 4, 4},  {12, 520, 3, 8, 8},  {520, 521, 1, 2, 2}};
  for (const auto& t : cases) {
    const Image image = RandomImage(rng, t.rows, t.cols, t.channels);
    const KernelChain chain = SequencyChain(KernelSide(t.width), t.kernels, 1);
    const Projections p = Project(image, t.width, chain, t.kernels * t.channels);
    ASSERT_EQ(p.rows, t.rows - t.width + 1);
    ASSERT_EQ(p.cols, t.cols - t.width + 1);
    ASSERT_EQ(p.values, t.kernels * t.channels);
    const int shift = chain.side == 16 ? 2 : 0;
    for (int n = 0; n < t.kernels; ++n) {
      const std::vector<int> down =
          reference::SequencyOrderedWalsh(chain.side, chain.row_sequency[n]);
      const std::vector<int> across =
          reference::SequencyOrderedWalsh(chain.side, chain.col_sequency[n]);
      for (int k = 0; k < t.channels; ++k) {
        const int v = n * t.channels + k;
        for (int c = 0; c < p.cols; ++c) {
          for (int r = 0; r < p.rows; ++r) {
            const int64_t exact =
                (n % 2 ? -1 : 1) * reference::KernelProjection(image, k, r, c, down, across);
            const int64_t expected = exact >> shift;  // arithmetic: rounds toward minus infinity
            const size_t anchor = r + size_t(c) * p.rows;
            ASSERT_EQ(p.plane(v)[anchor], expected)
                << t.rows << "x" << t.cols << "x" << t.channels << " w=" << t.width << " kernel "
                << n << " channel " << k << " at (" << r << "," << c << ")";
            ASSERT_EQ(p.stack[anchor * p.values + v], expected);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace gck

namespace gck {
namespace {

TEST(Projections, KeepsTheLeadingPlanesAsked) {
  std::mt19937 rng(12);
  const Image image = RandomImage(rng, 15, 18, 3);
  const KernelChain chain = SequencyChain(4, 5, 1);
  const Projections all = Project(image, 4, chain, 15);
  for (int kept : {0, 2, 6}) {
    const Projections p = Project(image, 4, chain, kept);
    EXPECT_EQ(p.planes_kept, kept);
    EXPECT_EQ(p.stack, all.stack);
    EXPECT_TRUE(std::equal(p.planes.begin(), p.planes.end(), all.planes.begin()));
    EXPECT_EQ(p.planes.size(), size_t(kept) * p.rows * p.cols);
  }
}

}  // namespace
}  // namespace gck
