#pragma once
// Patch errors by brute force: every pixel of every patch addressed by its row, column and plane.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gck::reference {

struct Image8 {
  int rows;
  int cols;                     // columns of one plane
  int planes;                   // 1 or 3
  std::vector<uint8_t> pixels;  // plane after plane, each column-major

  int at(int row, int col, int plane) const {
    return pixels[static_cast<size_t>(plane) * rows * cols + static_cast<size_t>(col) * rows + row];
  }
};

// Returns a.rows x a.cols errors: 0 outside rows and columns t .. size - u - 1; inside, the square
// root (double, then rounded to float) of the squared differences summed over the width x width
// patch at the pixel and the one at (row_map - 1, col_map - 1) in b, every plane. Every patch must
// fit.
std::vector<float> PatchErrors(const Image8& a, const Image8& b,
                               const std::vector<uint16_t>& row_map,
                               const std::vector<uint16_t>& col_map, int t, int u, int width);

}  // namespace gck::reference
