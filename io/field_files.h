#pragma once
// A field as files: .npy arrays that NumPy loads directly, and a CSV table.

#include <cstdio>
#include <string>

#include "io/stop.h"
#include "matcher/field.h"

namespace gck {

// The field as a rows x columns x k x 2 array in C order: the 0-based row and column of match s of
// the patch at (r, c) at [r][c][s]. Returns false when a write fails or `stop` asks to end it.
bool WriteFieldNpy(std::FILE* file, const Field& field, const Stop& stop = {});
// The patch errors of those matches as a rows x columns x k array.
bool WriteErrorsNpy(std::FILE* file, const Field& field, const Stop& stop = {});

// The field of a rows x columns x k x 2 .npy array as WriteFieldNpy writes it (int32, or int64
// as NumPy makes by default), without errors: false with a message naming the file when it holds
// anything else. Whether its positions lie in B is the matcher's check.
bool ReadFieldNpy(const std::string& path, Field* field, std::string* error);
// The errors of that field from a rows x columns x k .npy array of float32 or float64.
bool ReadErrorsNpy(const std::string& path, Field* field, std::string* error);

// One line per entry: row,col,slot,match_row,match_col,error (0-based; error as in Field). Returns
// false when a write fails.
bool WriteFieldCsv(std::FILE* file, const Field& field, const Stop& stop = {});

}  // namespace gck
