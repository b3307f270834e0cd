#pragma once
// NumPy .npy files (format 1.0, C order), which NumPy loads directly and MATLAB reads with a few
// lines of fread.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gck {

// Writes `values` as an array of the given shape; the last index varies fastest. Returns false
// when a write fails.
bool WriteNpy(std::FILE* file, const std::vector<int64_t>& shape,
              const std::vector<int32_t>& values);
bool WriteNpy(std::FILE* file, const std::vector<int64_t>& shape, const std::vector<float>& values);

// The header that precedes the data: magic, version, length and the padded dictionary.
std::string NpyHeader(const std::string& dtype, const std::vector<int64_t>& shape);

}  // namespace gck
