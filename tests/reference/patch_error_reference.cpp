#include "tests/reference/patch_error_reference.h"

#include <cmath>
#include <stdexcept>

namespace gck::reference {

std::vector<float> PatchErrors(const Image8& a, const Image8& b,
                               const std::vector<uint16_t>& row_map,
                               const std::vector<uint16_t>& col_map, int t, int u, int width) {
  std::vector<float> out(static_cast<size_t>(a.rows) * a.cols, 0.0f);
  for (int col = t; col < a.cols - u; ++col) {
    for (int row = t; row < a.rows - u; ++row) {
      const size_t j = static_cast<size_t>(col) * a.rows + row;
      const int b_row = row_map[j] - 1, b_col = col_map[j] - 1;
      int64_t sum = 0;
      for (int dc = 0; dc < width; ++dc) {
        for (int dr = 0; dr < width; ++dr) {
          if (row + dr >= a.rows || col + dc >= a.cols || b_row < 0 || b_col < 0 ||
              b_row + dr >= b.rows || b_col + dc >= b.cols) {
            throw std::out_of_range("patch leaves its image");
          }
          for (int k = 0; k < a.planes; ++k) {
            const int d = a.at(row + dr, col + dc, k) - b.at(b_row + dr, b_col + dc, k);
            sum += d * d;
          }
        }
      }
      out[j] = static_cast<float>(std::sqrt(static_cast<double>(sum)));
    }
  }
  return out;
}

}  // namespace gck::reference
