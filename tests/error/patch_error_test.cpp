#include "error/patch_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "tests/reference/patch_error_reference.h"

namespace gck {
namespace {

using reference::Image8;

constexpr float kUntouched = -1.0f;

Image8 RandomImage(std::mt19937& rng, int rows, int cols, int planes) {
  Image8 image{rows, cols, planes, std::vector<uint8_t>(static_cast<size_t>(rows) * cols * planes)};
  for (auto& pixel : image.pixels) pixel = static_cast<uint8_t>(rng());
  return image;
}

// The image's pixels copied `offset` bytes into a fresh buffer, so loads meet every alignment.
struct Placed {
  std::vector<uint8_t> buffer;
  PatchImage view;
  Placed(const Image8& image, int offset) : buffer(image.pixels.size() + offset) {
    std::copy(image.pixels.begin(), image.pixels.end(), buffer.begin() + offset);
    view = {buffer.data() + offset, image.rows, image.cols};
  }
};

struct Mapping {
  std::vector<uint16_t> rows, cols;
};

// Every pixel of a mapped to a random corner whose width x width patch lies inside b.
Mapping RandomMapping(std::mt19937& rng, const Image8& a, const Image8& b, int width) {
  Mapping map;
  std::uniform_int_distribution<int> row(1, b.rows - width + 1), col(1, b.cols - width + 1);
  for (int i = 0; i < a.rows * a.cols; ++i) {
    map.rows.push_back(static_cast<uint16_t>(row(rng)));
    map.cols.push_back(static_cast<uint16_t>(col(rng)));
  }
  return map;
}

std::vector<float> Measure(const Image8& a, const Image8& b, const Mapping& map, int t, int u,
                           int width, int offset = 0) {
  const Placed pa(a, offset), pb(b, 15 - offset);
  std::vector<float> out(a.pixels.size() / a.planes, kUntouched);
  PatchErrorImage(pa.view, pb.view, a.planes, map.rows.data(), map.cols.data(), t, u, width,
                  out.data());
  return out;
}

// The reference's zeros outside the region are elements the core must leave alone.
std::vector<float> Expected(const Image8& a, const Image8& b, const Mapping& map, int t, int u,
                            int width) {
  std::vector<float> out = reference::PatchErrors(a, b, map.rows, map.cols, t, u, width);
  for (int c = 0; c < a.cols; ++c) {
    for (int r = 0; r < a.rows; ++r) {
      const bool inside = r >= t && r < a.rows - u && c >= t && c < a.cols - u;
      if (!inside) out[static_cast<size_t>(c) * a.rows + r] = kUntouched;
    }
  }
  return out;
}

TEST(PatchErrorImage, MatchesBruteForceOnRandomImagesMappingsAndMargins) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 400; ++trial) {
    const int planes = trial % 2 == 0 ? 3 : 1;
    const int width = static_cast<int>(rng() % 20);
    const int need = std::max(width, 1);
    const Image8 a = RandomImage(rng, need + rng() % 30, need + rng() % 30, planes);
    const Image8 b = RandomImage(rng, need + rng() % 30, need + rng() % 30, planes);
    const Mapping map = RandomMapping(rng, a, b, need);
    const int t = static_cast<int>(rng() % 6);
    const int u = std::max(width - 1, 0) + static_cast<int>(rng() % 4);
    const std::vector<float> got = Measure(a, b, map, t, u, width, static_cast<int>(rng() % 16));
    ASSERT_EQ(got, Expected(a, b, map, t, u, width))
        << "trial " << trial << ": " << a.rows << "x" << a.cols << "x" << planes << " onto "
        << b.rows << "x" << b.cols << " w=" << width << " t=" << t << " u=" << u;
  }
}

TEST(PatchErrorImage, WidestPatchesSumExactlyWithoutOverflow) {
  // All-0 against all-255 reaches the largest sum each channel count allows.
  for (const int planes : {3, 1}) {
    const int width = MaxPatchWidth(planes);
    Image8 a{width, width, planes, std::vector<uint8_t>(width * width * planes, 0)};
    Image8 b{width, width, planes, std::vector<uint8_t>(width * width * planes, 255)};
    const Mapping map{std::vector<uint16_t>(width * width, 1),
                      std::vector<uint16_t>(width * width, 1)};
    const std::vector<float> got = Measure(a, b, map, 0, width - 1, width);
    const int64_t sum = int64_t{width} * width * planes * 255 * 255;
    ASSERT_LE(sum, INT32_MAX);
    EXPECT_EQ(got[0], static_cast<float>(std::sqrt(static_cast<double>(sum)))) << planes;
    EXPECT_EQ(got, Expected(a, b, map, 0, width - 1, width));
  }
  EXPECT_GT(int64_t{105} * 105 * 3 * 65025, INT32_MAX);
  EXPECT_GT(int64_t{182} * 182 * 65025, INT32_MAX);
}

TEST(PatchErrorImage, EmptyRegionOrZeroWidthReadsNoMapping) {
  std::mt19937 rng(5);
  const Image8 a = RandomImage(rng, 6, 7, 3);
  std::vector<float> out(42, kUntouched);
  const PatchImage view{a.pixels.data(), 6, 7};
  // Null mappings: any read would crash.
  PatchErrorImage(view, view, 3, nullptr, nullptr, 3, 3, 200, out.data());
  PatchErrorImage(view, view, 3, nullptr, nullptr, 0, 7, 2, out.data());
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == kUntouched; }));
  PatchErrorImage(view, view, 3, nullptr, nullptr, 1, 2, 0, out.data());
  for (int c = 0; c < 7; ++c) {
    for (int r = 0; r < 6; ++r) {
      const bool inside = r >= 1 && r < 4 && c >= 1 && c < 5;
      EXPECT_EQ(out[c * 6 + r], inside ? 0.0f : kUntouched) << r << "," << c;
    }
  }
}

// FindPatchOutside on a 10 x 12 A and an 8 x 9 B, one plane's geometry for both channel counts.
class FindPatchOutsideTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> pixels_ = std::vector<uint8_t>(10 * 12 * 3, 0);
  PatchImage a_{pixels_.data(), 10, 12};
  PatchImage b_{pixels_.data(), 8, 9};
  Mapping map_{std::vector<uint16_t>(120, 1), std::vector<uint16_t>(120, 1)};

  PatchFault Find(int t, int u, int width) const {
    return FindPatchOutside(a_, b_, map_.rows.data(), map_.cols.data(), t, u, width);
  }
  void Set(int row, int col, int map_row, int map_col) {
    map_.rows[col * 10 + row] = static_cast<uint16_t>(map_row);
    map_.cols[col * 10 + row] = static_cast<uint16_t>(map_col);
  }
};

void ExpectFault(const PatchFault& fault, PatchFault::Kind kind, int row, int col) {
  EXPECT_EQ(fault.kind, kind);
  EXPECT_EQ(fault.row, row);
  EXPECT_EQ(fault.col, col);
}

TEST_F(FindPatchOutsideTest, PatchesThatCrossAAreFoundAtTheFirstSuchPixel) {
  EXPECT_EQ(Find(0, 3, 4).kind, PatchFault::kNone);  // u = w - 1 just fits
  EXPECT_EQ(Find(5, 0, 1).kind, PatchFault::kNone);
  ExpectFault(Find(0, 2, 4), PatchFault::kCrossesA, 7, 0);  // the first row past the bottom
  ExpectFault(Find(8, 0, 4), PatchFault::kCrossesA, 8, 8);  // every patch of the region crosses
  ExpectFault(Find(2, 0, 9), PatchFault::kCrossesA, 2, 2);  // the first column crosses the right
  ExpectFault(Find(9, 0, 3), PatchFault::kCrossesA, 9, 9);
  a_ = {pixels_.data(), 20, 6};
  ExpectFault(Find(0, 2, 4), PatchFault::kCrossesA, 17, 0);
  ExpectFault(Find(0, 0, 6), PatchFault::kCrossesA, 15, 0);
  ExpectFault(Find(1, 0, 6), PatchFault::kCrossesA, 1, 1);
}

TEST_F(FindPatchOutsideTest, MappingsAreScannedInColumnMajorOrder) {
  Set(5, 3, 0, 1);  // later in memory order ...
  Set(6, 2, 1, 0);  // ... than this one, though on a lower row
  ExpectFault(Find(1, 3, 4), PatchFault::kMappedToZero, 6, 2);
  EXPECT_EQ(Find(1, 3, 4).map_col, 0);
  // Outside the region nothing is read.
  EXPECT_EQ(Find(4, 3, 4).kind, PatchFault::kNone);
}

TEST_F(FindPatchOutsideTest, MappedPatchesMustFitInBToTheLastPixel) {
  Set(2, 2, 5, 6);  // a 4 x 4 patch at row 4, column 5 of the 8 x 9 B: touches both far edges
  EXPECT_EQ(Find(0, 3, 4).kind, PatchFault::kNone);
  Set(2, 2, 6, 6);
  ExpectFault(Find(0, 3, 4), PatchFault::kLeavesB, 2, 2);
  EXPECT_EQ(Find(0, 3, 4).map_row, 6);
  Set(2, 2, 5, 7);
  ExpectFault(Find(0, 3, 4), PatchFault::kLeavesB, 2, 2);
  Set(2, 2, 5, 65535);
  ExpectFault(Find(0, 3, 4), PatchFault::kLeavesB, 2, 2);
  // A B smaller than the patch holds no mapped patch at all.
  b_ = {pixels_.data(), 3, 9};
  ExpectFault(Find(0, 3, 4), PatchFault::kLeavesB, 0, 0);
}

TEST_F(FindPatchOutsideTest, NothingIsReadForAnEmptyRegionOrZeroWidth) {
  Set(0, 0, 0, 0);
  EXPECT_EQ(Find(0, 10, 4).kind, PatchFault::kNone);
  EXPECT_EQ(Find(6, 6, 200).kind, PatchFault::kNone);
  EXPECT_EQ(Find(0, 0, 0).kind, PatchFault::kNone);
  EXPECT_EQ(Find(0, 0, 1).kind, PatchFault::kMappedToZero);
}

TEST(FindPatchOutside, AgreesWithTheBruteForceBoundsOnRandomCalls) {
  std::mt19937 rng(99);
  int faults = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int width = 1 + static_cast<int>(rng() % 5);
    const Image8 a = RandomImage(rng, 1 + rng() % 12, 1 + rng() % 12, 1);
    const Image8 b = RandomImage(rng, 1 + rng() % 12, 1 + rng() % 12, 1);
    Mapping map;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
      map.rows.push_back(static_cast<uint16_t>(rng() % (b.rows + 1)));
      map.cols.push_back(static_cast<uint16_t>(rng() % (b.cols + 1)));
    }
    const int t = static_cast<int>(rng() % 4), u = static_cast<int>(rng() % 5);
    const PatchImage va{a.pixels.data(), a.rows, a.cols}, vb{b.pixels.data(), b.rows, b.cols};
    const PatchFault fault =
        FindPatchOutside(va, vb, map.rows.data(), map.cols.data(), t, u, width);
    bool reference_refuses = false;
    try {
      reference::PatchErrors(a, b, map.rows, map.cols, t, u, width);
    } catch (const std::out_of_range&) {
      reference_refuses = true;
    }
    ASSERT_EQ(fault.kind != PatchFault::kNone, reference_refuses) << "trial " << trial;
    faults += reference_refuses;
  }
  EXPECT_GT(faults, 50);
  EXPECT_LT(faults, 250);
}

}  // namespace
}  // namespace gck
