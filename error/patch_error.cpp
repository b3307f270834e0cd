#include "error/patch_error.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gck {
namespace {

// The squared differences of a patch, one column at a time. Eight pixels go at once: widened to
// 16 bits, subtracted, then squared and added pairwise into four 32-bit lanes. The sum is exact and
// stays below 2^31 for the widths allowed, so the order of the additions cannot change it.
class SquaredDifferences {
 public:
  inline void AddColumn(const uint8_t* a, const uint8_t* b, int32_t length) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= length; i += 8) {
      const __m128i va = _mm_unpacklo_epi8(_mm_loadl_epi64(Unaligned(a + i)), zero);
      const __m128i vb = _mm_unpacklo_epi8(_mm_loadl_epi64(Unaligned(b + i)), zero);
      const __m128i d = _mm_sub_epi16(va, vb);
      lanes_ = _mm_add_epi32(lanes_, _mm_madd_epi16(d, d));
    }
#endif
    for (; i < length; ++i) {
      const int32_t d = static_cast<int32_t>(a[i]) - static_cast<int32_t>(b[i]);
      rest_ += static_cast<uint32_t>(d * d);
    }
  }

  inline int32_t Total() const {
    uint32_t total = rest_;
#if defined(__SSE2__)
    __m128i sum = _mm_add_epi32(lanes_, _mm_shuffle_epi32(lanes_, 0x4e));  // lanes + swapped halves
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xb1));                // + swapped neighbours
    total += static_cast<uint32_t>(_mm_cvtsi128_si32(sum));
#endif
    return static_cast<int32_t>(total);
  }

 private:
#if defined(__SSE2__)
  static const __m128i* Unaligned(const uint8_t* p) { return reinterpret_cast<const __m128i*>(p); }
  __m128i lanes_ = _mm_setzero_si128();
#endif
  uint32_t rest_ = 0;
};

// The error of one pixel: a and b point at the patch corners in plane 0.
template <int32_t Channels>
inline float PatchError(const uint8_t* a, size_t a_rows, size_t a_plane, const uint8_t* b,
                        size_t b_rows, size_t b_plane, int32_t width) {
  SquaredDifferences sums;
  for (int32_t dx = 0; dx < width; ++dx) {
    for (int32_t k = 0; k < Channels; ++k) {
      sums.AddColumn(a + k * a_plane + dx * a_rows, b + k * b_plane + dx * b_rows, width);
    }
  }
  return static_cast<float>(std::sqrt(static_cast<double>(sums.Total())));
}

template <int32_t Channels>
void ErrorSweep(const PatchImage& a, const PatchImage& b, const uint16_t* row_map,
                const uint16_t* col_map, const PatchRegion& region, int32_t width, float* out) {
  const size_t a_rows = static_cast<size_t>(a.rows);
  const size_t b_rows = static_cast<size_t>(b.rows);
  const size_t a_plane = a_rows * static_cast<size_t>(a.plane_cols);
  const size_t b_plane = b_rows * static_cast<size_t>(b.plane_cols);
  const auto corner = [&](size_t j) {
    assert(row_map[j] >= 1 && col_map[j] >= 1);
    return b.pixels + (static_cast<size_t>(col_map[j]) - 1) * b_rows + (row_map[j] - 1u);
  };
  for (int32_t x = region.first_col; x < region.end_col; ++x) {
    const size_t column = static_cast<size_t>(x) * a_rows;
    for (int32_t y = region.first_row; y < region.end_row; ++y) {
      const size_t j = column + static_cast<size_t>(y);
      out[j] =
          PatchError<Channels>(a.pixels + j, a_rows, a_plane, corner(j), b_rows, b_plane, width);
    }
  }
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
  const PatchRegion region = RegionOfInterest(a, top_left, bottom_right);
  if (region.empty()) return;
  assert(width >= 0 && width <= MaxPatchWidth(channels));
  if (width == 0) {
    // Nothing to compare: every error of the region is 0, and no mapping is read.
    for (int32_t x = region.first_col; x < region.end_col; ++x) {
      float* column = out + static_cast<size_t>(x) * static_cast<size_t>(a.rows);
      for (int32_t y = region.first_row; y < region.end_row; ++y) column[y] = 0.0f;
    }
    return;
  }
  if (channels == 3) {
    ErrorSweep<3>(a, b, row_map, col_map, region, width, out);
  } else {
    ErrorSweep<1>(a, b, row_map, col_map, region, width, out);
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
