#pragma once
// What the command line makes of a field: .npy arrays, the reconstruction of A, an error image, a
// CSV table.

#include <cstdio>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// A rebuilt from B: every pixel is the mean, over the patches of A that cover it, of the pixel at
// the same place in each patch's best match. Pixels of A are covered by at least one patch.
Image Reconstruct(const Field& field, const Image& b, int32_t rows, int32_t cols);

// One grey pixel per pixel of A: the RMS pixel difference of the best match of the anchor there
// (of the nearest anchor past the last one), 4 grey levels per unit, clipped at 255.
Image ErrorImage(const Field& field, int32_t rows, int32_t cols);

// The field as a rows x columns x k x 2 array in C order: the 0-based row and column of match s of
// the patch at (r, c) at [r][c][s]. Returns false when a write fails.
bool WriteFieldNpy(std::FILE* file, const Field& field);
// The patch errors of those matches as a rows x columns x k array.
bool WriteErrorsNpy(std::FILE* file, const Field& field);

// One line per entry: row,col,slot,match_row,match_col,error (0-based; error as in Field). Returns
// false when a write fails.
bool WriteFieldCsv(std::FILE* file, const Field& field);

}  // namespace gck
