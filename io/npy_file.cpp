#include "io/npy_file.h"

namespace gck {

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

}  // namespace gck
