#pragma once
// NumPy .npy files (format 1.0, C order, little-endian), which NumPy loads directly and MATLAB
// reads with a few lines of fread.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gck {

// The dtype of an element type as .npy headers name it.
template <class T>
struct NpyType;
template <>
struct NpyType<uint8_t> {
  static constexpr const char* name = "|u1";
};
template <>
struct NpyType<int32_t> {
  static constexpr const char* name = "<i4";
};
template <>
struct NpyType<float> {
  static constexpr const char* name = "<f4";
};

// An array as a .npy file holds it: the dtype its header names, its shape and its bytes.
struct NpyArray {
  std::string dtype;
  std::vector<int64_t> shape;
  std::vector<char> data;

  int64_t count() const;  // elements: the product of the shape
};

// Reads a .npy file (format 1, 2 or 3, C order): false, with a message naming the file, when it
// cannot be read, is no .npy file, is in Fortran order, holds more than 2^31 elements, or is
// shorter or longer than its header says.
bool ReadNpy(const std::string& path, NpyArray* array, std::string* error);

// The header that precedes the data: magic, version, length and the padded dictionary.
std::string NpyHeader(const std::string& dtype, const std::vector<int64_t>& shape);

// Writes `values` as an array of the given shape; the last index varies fastest. Returns false
// when a write fails.
template <class T>
bool WriteNpy(std::FILE* file, const std::vector<int64_t>& shape, const std::vector<T>& values) {
  const std::string header = NpyHeader(NpyType<T>::name, shape);
  // Every platform the matcher builds for stores numbers little-endian, as the header says.
  return std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
         std::fwrite(values.data(), sizeof(T), values.size(), file) == values.size();
}

}  // namespace gck
