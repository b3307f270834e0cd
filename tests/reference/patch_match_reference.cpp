#include "tests/reference/patch_match_reference.h"

#include <algorithm>
#include <limits>

namespace gck::reference {

std::vector<int> SequencyOrderedWalsh(int side, int sequency) {
  std::vector<std::vector<int>> hadamard{{1}};
  while (static_cast<int>(hadamard.size()) < side) {
    const size_t n = hadamard.size();
    std::vector<std::vector<int>> next(2 * n, std::vector<int>(2 * n));
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j) {
        next[i][j] = next[i][j + n] = next[i + n][j] = hadamard[i][j];
        next[i + n][j + n] = -hadamard[i][j];
      }
    hadamard = next;
  }
  for (const std::vector<int>& row : hadamard) {
    int changes = 0;
    for (size_t t = 1; t < row.size(); ++t) changes += row[t] != row[t - 1];
    if (changes == sequency) return row;
  }
  return {};
}

int64_t KernelProjection(const Image& image, int channel, int r, int c,
                         const std::vector<int>& down, const std::vector<int>& across) {
  int64_t sum = 0;
  for (size_t i = 0; i < down.size(); ++i)
    for (size_t j = 0; j < across.size(); ++j)
      sum += int64_t(down[i]) * across[j] * image.at(r + int(i), c + int(j), channel);
  return sum;
}

int64_t PatchSsd(const Image& a, int ra, int ca, const Image& b, int rb, int cb, int width) {
  int64_t sum = 0;
  for (int k = 0; k < a.channels; ++k)
    for (int i = 0; i < width; ++i)
      for (int j = 0; j < width; ++j) {
        const int64_t d = int64_t(a.at(ra + i, ca + j, k)) - b.at(rb + i, cb + j, k);
        sum += d * d;
      }
  return sum;
}

int64_t NearestSsd(const Image& a, int r, int c, const Image& b, int width) {
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int cb = 0; cb + width <= b.cols; ++cb)
    for (int rb = 0; rb + width <= b.rows; ++rb)
      best = std::min(best, PatchSsd(a, r, c, b, rb, cb, width));
  return best;
}

}  // namespace gck::reference
