#pragma once
// Test images for the matcher: photograph-like scenes and moved, noisy copies of them.

#include <algorithm>
#include <cmath>
#include <random>

#include "matcher/image.h"

namespace gck {

// A smooth scene with texture: a few random waves per channel plus noise, like a photograph.
inline Image Scene(std::mt19937& rng, int rows, int cols, int channels) {
  std::uniform_real_distribution<double> unit(0, 1);
  Image image = BlankImage(rows, cols, channels);
  for (int k = 0; k < channels; ++k) {
    double fr[3], fc[3], ph[3];
    for (int i = 0; i < 3; ++i)
      fr[i] = 0.4 * unit(rng), fc[i] = 0.4 * unit(rng), ph[i] = 6.3 * unit(rng);
    for (int c = 0; c < cols; ++c)
      for (int r = 0; r < rows; ++r) {
        double v = 128 + 20 * (unit(rng) - 0.5);
        for (int i = 0; i < 3; ++i) v += 35 * std::sin(fr[i] * r + fc[i] * c + ph[i]);
        image.at(r, c, k) = static_cast<uint8_t>(std::min(255.0, std::max(0.0, v)));
      }
  }
  return image;
}

// `image` moved down and right by (dr, dc), edges repeated, with uniform noise of +-amplitude.
inline Image Moved(std::mt19937& rng, const Image& image, int dr, int dc, int amplitude) {
  Image out = image;
  for (int k = 0; k < image.channels; ++k)
    for (int c = 0; c < image.cols; ++c)
      for (int r = 0; r < image.rows; ++r) {
        const int v = image.at(std::max(r - dr, 0), std::max(c - dc, 0), k) +
                      int(rng() % (2 * amplitude + 1)) - amplitude;
        out.at(r, c, k) = static_cast<uint8_t>(std::min(255, std::max(0, v)));
      }
  return out;
}

}  // namespace gck
