#pragma once
// A field as files: .npy arrays that NumPy loads directly, and a CSV table.

#include <cstdio>

#include "matcher/field.h"

namespace gck {

// The field as a rows x columns x k x 2 array in C order: the 0-based row and column of match s of
// the patch at (r, c) at [r][c][s]. Returns false when a write fails.
bool WriteFieldNpy(std::FILE* file, const Field& field);
// The patch errors of those matches as a rows x columns x k array.
bool WriteErrorsNpy(std::FILE* file, const Field& field);

// One line per entry: row,col,slot,match_row,match_col,error (0-based; error as in Field). Returns
// false when a write fails.
bool WriteFieldCsv(std::FILE* file, const Field& field);

}  // namespace gck
