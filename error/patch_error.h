#pragma once
// The exact patch error of a mapping from image A to image B: for every pixel of a region of A, the
// root of the sum of squared differences between its w x w patch and the patch of the B pixel it is
// mapped to, over every channel.

#include <cstdint>

namespace gck {

// A uint8 image of one or more planes, column-major: pixel (r, c) of plane k lies at
// pixels[k * rows * plane_cols + c * rows + r].
struct PatchImage {
  const uint8_t* pixels;
  int32_t rows;
  int32_t plane_cols;
};

// Largest patch width whose squared-difference sum over `channels` planes fits a signed 32-bit
// integer: 104 for three channels, 181 for one.
int32_t MaxPatchWidth(int32_t channels);

// The region of interest: rows and columns top_left .. size - bottom_right - 1 of A, empty when
// either range is.
struct PatchRegion {
  int32_t first_row, end_row;  // rows first_row .. end_row - 1
  int32_t first_col, end_col;  // columns first_col .. end_col - 1
  bool empty() const { return first_row >= end_row || first_col >= end_col; }
};
PatchRegion RegionOfInterest(const PatchImage& a, int32_t top_left, int32_t bottom_right);

// row_map, col_map: one 1-based row and column of B per pixel of A (a.rows * a.plane_cols each).
// out:   a.rows x a.plane_cols; each pixel of the region receives sqrt(sum) rounded from double to
//        float, the sum taken as an exact integer; every other element is left untouched.
// Requires, for every pixel (r, c) of the region (see FindPatchOutside), r + width <= a.rows,
// c + width <= a.plane_cols, both mapped values >= 1 and the mapped patch inside B, and
// 0 <= width <= MaxPatchWidth(channels). Width 0 writes 0 over the region and reads no mapping.
void PatchErrorImage(const PatchImage& a, const PatchImage& b, int32_t channels,
                     const uint16_t* row_map, const uint16_t* col_map, int32_t top_left,
                     int32_t bottom_right, int32_t width, float* out);

// The first pixel of the region, in column-major order, whose patch in A or whose mapped patch in B
// would leave its image.
struct PatchFault {
  enum Kind { kNone, kCrossesA, kMappedToZero, kLeavesB };
  Kind kind;
  int32_t row, col;          // the pixel of A, 0-based
  int32_t map_row, map_col;  // its mapping values as stored (1-based)
};
PatchFault FindPatchOutside(const PatchImage& a, const PatchImage& b, const uint16_t* row_map,
                            const uint16_t* col_map, int32_t top_left, int32_t bottom_right,
                            int32_t width);

}  // namespace gck
