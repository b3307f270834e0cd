#include "io/image_file.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace gck {
namespace {

// WritePng takes 1- and 3-channel images of at least one pixel whose pixels fill them, and writes
// nothing for any other.
TEST(WritePng, RefusesWhatIsNoImageAndWritesNothing) {
  Image short_by_one = BlankImage(5, 4, 3);
  short_by_one.pixels.pop_back();
  Image negative = BlankImage(5, 4, 1);
  negative.rows = -5;
  for (const Image& bad : {BlankImage(5, 4, 2), BlankImage(0, 0, 1), BlankImage(0, 4, 3),
                           short_by_one, negative}) {
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    EXPECT_FALSE(WritePng(file, bad)) << bad.rows << " x " << bad.cols << " x " << bad.channels;
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
  }
  std::FILE* file = std::tmpfile();
  EXPECT_TRUE(WritePng(file, BlankImage(1, 1, 1)));
  EXPECT_GT(std::ftell(file), 0);
  std::fclose(file);
}

}  // namespace
}  // namespace gck
