#include "matcher/pyramid.h"

#include "matcher/thread_team.h"

namespace gck {

InterleavedImage HalfSize(const InterleavedImage& image) {
  InterleavedImage out;
  out.rows = image.rows / 2;
  out.cols = image.cols / 2;
  out.channels = image.channels;
  out.bytes.resize(static_cast<size_t>(out.rows) * out.cols * out.channels);
  const int32_t ch = image.channels;
  ParallelFor(0, out.cols, 0, [&](int64_t c) {
    const uint8_t* left = image.at(0, 2 * c);
    const uint8_t* right = image.at(0, 2 * c + 1);
    uint8_t* to = out.bytes.data() + static_cast<size_t>(c) * out.rows * ch;
    for (int32_t r = 0; r < out.rows; ++r)
      for (int32_t k = 0; k < ch; ++k) {
        const size_t top = size_t(2 * r) * ch + k, bottom = top + ch;
        to[r * ch + k] =
            static_cast<uint8_t>((left[top] + left[bottom] + right[top] + right[bottom] + 2) / 4);
      }
  });
  return out;
}

}  // namespace gck
