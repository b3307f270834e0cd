#include "tools/npy_file.h"

#include <fstream>

namespace gck {
namespace {

template <class T>
bool Write(const std::string& path, const std::string& dtype, const std::vector<int64_t>& shape,
           const std::vector<T>& values, std::string* error) {
  std::ofstream file(path, std::ios::binary);
  const std::string header = NpyHeader(dtype, shape);
  file.write(header.data(), static_cast<std::streamsize>(header.size()));
  // Little-endian data, as every platform the matcher builds for stores it.
  file.write(reinterpret_cast<const char*>(values.data()),
             static_cast<std::streamsize>(values.size() * sizeof(T)));
  if (!file) {
    *error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace

std::string NpyHeader(const std::string& dtype, const std::vector<int64_t>& shape) {
  std::string dims;
  for (int64_t d : shape) dims += std::to_string(d) + ", ";
  // "(3,)" keeps its comma, "(2, 3)" has none.
  if (!shape.empty()) dims.erase(dims.size() - (shape.size() == 1 ? 1 : 2));
  std::string dict =
      "{'descr': '" + dtype + "', 'fortran_order': False, 'shape': (" + dims + "), }";
  // Magic (6) + version (2) + length (2) + dictionary + padding + newline, a multiple of 64 bytes.
  const size_t unpadded = 10 + dict.size() + 1;
  dict.append((64 - unpadded % 64) % 64, ' ');
  dict += '\n';
  std::string header("\x93NUMPY\x01\x00", 8);
  header += static_cast<char>(dict.size() & 0xFF);
  header += static_cast<char>(dict.size() >> 8);
  return header + dict;
}

bool WriteNpy(const std::string& path, const std::vector<int64_t>& shape,
              const std::vector<int32_t>& values, std::string* error) {
  return Write(path, "<i4", shape, values, error);
}

bool WriteNpy(const std::string& path, const std::vector<int64_t>& shape,
              const std::vector<float>& values, std::string* error) {
  return Write(path, "<f4", shape, values, error);
}

}  // namespace gck
