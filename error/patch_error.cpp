#include "error/patch_error.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace gck {
namespace {

constexpr int kLanes = 8;

// Squared differences of a patch column, added lane-wise: eight bytes at a time into eight 32-bit
// lanes, which the compiler keeps in vector registers (16-bit differences, multiply-add into 32 bits).
// Integer sums are exact, so the order of the additions does not change the result.
struct LaneSums {
  uint32_t lane[kLanes] = {};

  inline void AddColumn(const uint8_t* a, const uint8_t* b, int32_t length) {
    int32_t i = 0;
    for (; i + kLanes <= length; i += kLanes) {
      for (int l = 0; l < kLanes; ++l) {
        const int32_t d = static_cast<int32_t>(a[i + l]) - static_cast<int32_t>(b[i + l]);
        lane[l] += static_cast<uint32_t>(d * d);
      }
    }
    for (int l = 0; i < length; ++i, ++l) {
      const int32_t d = static_cast<int32_t>(a[i]) - static_cast<int32_t>(b[i]);
      lane[l] += static_cast<uint32_t>(d * d);
    }
  }

  inline uint32_t Total() const {
    uint32_t total = 0;
    for (int l = 0; l < kLanes; ++l) total += lane[l];
    return total;
  }
};

// The error of one pixel: a and b point at the patch corners in plane 0.
inline float PatchError(const uint8_t* a, size_t a_rows, size_t a_plane, const uint8_t* b,
                        size_t b_rows, size_t b_plane, int32_t channels, int32_t width) {
  LaneSums sums;
  for (int32_t dx = 0; dx < width; ++dx) {
    for (int32_t k = 0; k < channels; ++k) {
      sums.AddColumn(a + k * a_plane + dx * a_rows, b + k * b_plane + dx * b_rows, width);
    }
  }
  // The sum fits 31 bits for the widths allowed, so it is also the signed sum.
  const int32_t sum = static_cast<int32_t>(sums.Total());
  return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

}  // namespace

int32_t MaxPatchWidth(int32_t channels) { return channels == 3 ? 104 : 181; }

PatchRegion RegionOfInterest(const PatchImage& a, int32_t top_left, int32_t bottom_right) {
  return {top_left, a.rows - bottom_right, top_left, a.plane_cols - bottom_right};
}

void PatchErrorImage(const PatchImage& a, const PatchImage& b, int32_t channels,
                     const uint16_t* row_map, const uint16_t* col_map, int32_t top_left,
                     int32_t bottom_right, int32_t width, float* out) {
  assert(channels == 1 || channels == 3);
  assert(width >= 0 && width <= MaxPatchWidth(channels));
  const PatchRegion region = RegionOfInterest(a, top_left, bottom_right);
  if (region.empty()) return;
  const size_t a_rows = static_cast<size_t>(a.rows);
  const size_t b_rows = static_cast<size_t>(b.rows);
  const size_t a_plane = a_rows * static_cast<size_t>(a.plane_cols);
  const size_t b_plane = b_rows * static_cast<size_t>(b.plane_cols);
  for (int32_t x = region.first_col; x < region.end_col; ++x) {
    for (int32_t y = region.first_row; y < region.end_row; ++y) {
      const size_t j = static_cast<size_t>(x) * a_rows + static_cast<size_t>(y);
      if (width == 0) {
        out[j] = 0.0f;
        continue;
      }
      assert(row_map[j] >= 1 && col_map[j] >= 1);
      const size_t q = (static_cast<size_t>(col_map[j]) - 1) * b_rows + (row_map[j] - 1u);
      out[j] = PatchError(a.pixels + j, a_rows, a_plane, b.pixels + q, b_rows, b_plane, channels,
                          width);
    }
  }
}

PatchFault FindPatchOutside(const PatchImage& a, const PatchImage& b, const uint16_t* row_map,
                            const uint16_t* col_map, int32_t top_left, int32_t bottom_right,
                            int32_t width) {
  const PatchRegion region = RegionOfInterest(a, top_left, bottom_right);
  if (region.empty() || width == 0) return {PatchFault::kNone, 0, 0, 0, 0};
  // The region's last row and column reach w - 1 pixels further, so A's patches fit exactly when
  // the bottom-right margin is at least w - 1. When they do not, the first column of the region
  // either crosses the right edge already or has a first row that reaches past the bottom.
  if (bottom_right < width - 1) {
    const bool first_column_crosses = region.first_col > a.plane_cols - width;
    const int32_t below = a.rows - width + 1;
    const int32_t row = first_column_crosses || region.first_row > below ? region.first_row : below;
    return {PatchFault::kCrossesA, row, region.first_col, 0, 0};
  }
  const size_t a_rows = static_cast<size_t>(a.rows);
  for (int32_t x = region.first_col; x < region.end_col; ++x) {
    for (int32_t y = region.first_row; y < region.end_row; ++y) {
      const size_t j = static_cast<size_t>(x) * a_rows + static_cast<size_t>(y);
      const int32_t r = row_map[j], c = col_map[j];
      if (r == 0 || c == 0) return {PatchFault::kMappedToZero, y, x, r, c};
      if (r - 1 > b.rows - width || c - 1 > b.plane_cols - width) {
        return {PatchFault::kLeavesB, y, x, r, c};
      }
    }
  }
  return {PatchFault::kNone, 0, 0, 0, 0};
}

}  // namespace gck
