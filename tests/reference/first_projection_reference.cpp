#include "tests/reference/first_projection_reference.h"

namespace gck::reference {

std::vector<int64_t> WindowSums(const std::vector<uint8_t>& image, int rows, int cols, int width) {
  std::vector<int64_t> sums(static_cast<size_t>(rows) * cols, 0);
  for (int c = 0; c + width <= cols; ++c) {
    for (int r = 0; r + width <= rows; ++r) {
      int64_t sum = 0;
      for (int dc = 0; dc < width; ++dc) {
        for (int dr = 0; dr < width; ++dr) sum += image[(r + dr) + static_cast<size_t>(c + dc) * rows];
      }
      sums[r + static_cast<size_t>(c) * rows] = sum;
    }
  }
  return sums;
}

}  // namespace gck::reference
