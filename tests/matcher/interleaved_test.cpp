#include "matcher/interleaved.h"

#include <gtest/gtest.h>

#include <random>

namespace gck {
namespace {

// Every kernel (the shapes with their own code and the general loop, with and without AVX2) against
// the sum as defined, at random places and limits: the sum itself when it is within the limit,
// some value above the limit otherwise.
TEST(InterleavedSsd, IsTheSumWithinTheLimitAndAboveItOtherwise) {
  std::mt19937 rng(3);
  for (bool avx2 : {true, false}) {
    AllowAvx2(avx2);
    for (int channels : {1, 3})
      for (int width : {1, 2, 3, 4, 5, 7, 8, 9, 16}) {
        Image image = BlankImage(23, 29, channels);
        for (uint8_t& p : image.pixels) p = uint8_t(rng() % 4 == 0 ? rng() : 120 + rng() % 16);
        const InterleavedImage x = Interleave(image);
        for (int trial = 0; trial < 200; ++trial) {
          const int ra = rng() % (x.rows - width + 1), ca = rng() % (x.cols - width + 1);
          const int rb = rng() % (x.rows - width + 1), cb = rng() % (x.cols - width + 1);
          uint32_t exact = 0;
          for (int k = 0; k < channels; ++k)
            for (int dc = 0; dc < width; ++dc)
              for (int dr = 0; dr < width; ++dr) {
                const int d = image.at(ra + dr, ca + dc, k) - image.at(rb + dr, cb + dc, k);
                exact += uint32_t(d * d);
              }
          const uint32_t limit = trial % 4 == 0 ? UINT32_MAX : uint32_t(rng() % (2 * exact + 2));
          const uint32_t sum = InterleavedSsd(x.at(ra, ca), x.column_stride(), x.at(rb, cb),
                                              x.column_stride(), width * channels, width, limit);
          if (exact <= limit)
            ASSERT_EQ(sum, exact) << "width " << width << " channels " << channels;
          else
            ASSERT_GT(sum, limit) << "width " << width << " channels " << channels;
        }
      }
  }
  AllowAvx2(true);
}

}  // namespace
}  // namespace gck
