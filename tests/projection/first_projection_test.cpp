#include "projection/first_projection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/reference/first_projection_reference.h"

namespace gck {
namespace {

template <class Out>
std::vector<Out> Project(const std::vector<uint8_t>& image, int rows, int cols, int width) {
  std::vector<uint32_t> table(image.size());
  std::vector<Out> out(image.size(), 0);
  FirstProjection(image.data(), rows, cols, width, table.data(), out.data());
  return out;
}

std::vector<uint8_t> RandomImage(std::mt19937& rng, int rows, int cols) {
  std::uniform_int_distribution<int> value(0, 255);
  std::vector<uint8_t> image(static_cast<size_t>(rows) * cols);
  for (auto& pixel : image) pixel = static_cast<uint8_t>(value(rng));
  return image;
}

TEST(FirstProjection, MatchesWindowSumsForEveryWidth) {
  std::mt19937 rng(7);
  const int shapes[][2] = {{1, 1}, {1, 9}, {9, 1}, {5, 5}, {7, 13}, {16, 11}, {23, 31}};
  for (const auto& shape : shapes) {
    const int rows = shape[0], cols = shape[1];
    const std::vector<uint8_t> image = RandomImage(rng, rows, cols);
    for (int width = 1; width <= std::min(rows, cols); ++width) {
      const std::vector<int64_t> expected = reference::WindowSums(image, rows, cols, width);
      const std::vector<int16_t> out16 = Project<int16_t>(image, rows, cols, width);
      const std::vector<int32_t> out32 = Project<int32_t>(image, rows, cols, width);
      for (size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(out32[i], expected[i]) << rows << "x" << cols << " w=" << width << " at " << i;
        ASSERT_EQ(out16[i], static_cast<int16_t>(static_cast<uint16_t>(expected[i])))
            << rows << "x" << cols << " w=" << width << " at " << i;
      }
    }
  }
}

TEST(FirstProjection, BrightWindowsWrapInSixteenBits) {
  const int rows = 20, cols = 17, width = 12;
  const std::vector<uint8_t> image(rows * cols, 255);
  const std::vector<int16_t> out16 = Project<int16_t>(image, rows, cols, width);
  const std::vector<int32_t> out32 = Project<int32_t>(image, rows, cols, width);
  for (int c = 0; c < cols; ++c) {
    for (int r = 0; r < rows; ++r) {
      const bool written = r <= rows - width && c <= cols - width;
      EXPECT_EQ(out16[r + c * rows], written ? -28816 : 0);
      EXPECT_EQ(out32[r + c * rows], written ? 36720 : 0);
    }
  }
}

TEST(FirstProjection, SumsStayExactWhenTheTableWraps) {
  // 4200 x 4100 pixels of 255 pass 2^32 in the table's far corner.
  const int rows = 4200, cols = 4100, width = 3;
  const std::vector<uint8_t> image(static_cast<size_t>(rows) * cols, 255);
  const std::vector<int32_t> out = Project<int32_t>(image, rows, cols, width);
  EXPECT_EQ(out[(rows - width) + static_cast<size_t>(cols - width) * rows], 255 * 9);
  EXPECT_EQ(out[(rows - width + 1) + static_cast<size_t>(cols - width) * rows], 0);
}

TEST(FirstProjection, FullWidthGivesTheTotalInTheCornerOnly) {
  std::mt19937 rng(3);
  const std::vector<uint8_t> image = RandomImage(rng, 6, 6);
  int32_t total = 0;
  for (uint8_t pixel : image) total += pixel;
  const std::vector<int32_t> out = Project<int32_t>(image, 6, 6, 6);
  EXPECT_EQ(out[0], total);
  EXPECT_TRUE(std::all_of(out.begin() + 1, out.end(), [](int32_t v) { return v == 0; }));
}

}  // namespace
}  // namespace gck
