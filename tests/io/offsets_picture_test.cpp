#include "io/offsets_picture.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace gck {
namespace {

Field Uniform(int rows, int cols, int down, int right) {
  Field field;
  field.rows = rows, field.cols = cols, field.k = 1, field.width = 3;
  for (int c = 0; c < cols; ++c)
    for (int r = 0; r < rows; ++r) {
      field.match_rows.push_back(r + down);
      field.match_cols.push_back(c + right);
    }
  return field;
}

std::array<uint8_t, 3> At(const Image& image, int r, int c) {
  return {image.at(r, c, 0), image.at(r, c, 1), image.at(r, c, 2)};
}

// Directions by hue at full saturation for the longest offset, white for none, the pixels past
// the last anchor like the nearest anchor, and the key beside the picture: white at its centre,
// the longest offset's colours on its rim.
TEST(OffsetsPicture, ColoursDirectionsAndDrawsTheKey) {
  using Rgb = std::array<uint8_t, 3>;
  const Field still = Uniform(30, 40, 0, 0);
  Image picture = OffsetsPicture(still, 32, 42);
  ASSERT_EQ(picture.rows, 32);
  ASSERT_EQ(picture.cols, 42 + 4 + 17);  // the key: at least 17 pixels wide
  EXPECT_EQ(At(picture, 31, 41), (Rgb{255, 255, 255}));
  for (const auto& [down, right, colour] :
       {std::tuple{0, 5, Rgb{255, 0, 0}}, {0, -5, Rgb{0, 255, 255}}, {5, 0, Rgb{128, 255, 0}},
        {-5, 0, Rgb{128, 0, 255}}}) {
    picture = OffsetsPicture(Uniform(30, 40, down, right), 32, 42);
    EXPECT_EQ(At(picture, 0, 0), colour) << down << "," << right;
    EXPECT_EQ(At(picture, 31, 41), colour) << down << "," << right;
  }
  const int centre_row = 8, centre_col = 42 + 4 + 8;
  EXPECT_EQ(At(picture, centre_row, centre_col), (Rgb{255, 255, 255}));
  EXPECT_EQ(At(picture, centre_row, centre_col + 8), (Rgb{255, 0, 0}));
  EXPECT_EQ(At(picture, centre_row, centre_col - 8), (Rgb{0, 255, 255}));
}

}  // namespace
}  // namespace gck
