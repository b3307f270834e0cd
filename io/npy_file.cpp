#include "io/npy_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <regex>

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

int64_t NpyArray::count() const {
  int64_t n = 1;
  for (const int64_t d : shape) n *= d;
  return n;
}

namespace {

// The value of `key` in the header's dictionary, as written there: "'<i4'", "False", "(3, 4)".
bool DictValue(const std::string& dict, const std::string& key, std::string* value) {
  const std::regex pattern("['\"]" + key + "['\"]\\s*:\\s*('[^']*'|\"[^\"]*\"|\\([^)]*\\)|\\w+)");
  std::smatch found;
  if (!std::regex_search(dict, found, pattern)) return false;
  *value = found[1];
  return true;
}

bool ParseShape(const std::string& text, std::vector<int64_t>* shape) {
  shape->clear();
  const std::regex number("\\s*(\\d{1,10})\\s*(,|$)");
  std::string rest = text.substr(1, text.size() - 2);  // inside the parentheses
  std::smatch found;
  while (!rest.empty() && rest.find_first_not_of(" ") != std::string::npos) {
    if (!std::regex_search(rest, found, number) || found.position(0) != 0) return false;
    shape->push_back(std::stoll(found[1]));
    rest = found.suffix();
  }
  return true;
}

}  // namespace

bool ReadNpy(const std::string& path, NpyArray* array, std::string* error) {
  const auto fail = [&](const std::string& why) {
    *error = "'" + path + "' " + why;
    return false;
  };
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return fail("cannot be opened");
  char start[10];
  if (std::fread(start, 1, 8, file.get()) != 8 || std::memcmp(start, "\x93NUMPY", 6) != 0)
    return fail("is no .npy file");
  const int version = static_cast<unsigned char>(start[6]);
  if (version < 1 || version > 3) return fail("is a .npy file of an unknown version");
  uint8_t length_bytes[4] = {0, 0, 0, 0};
  const size_t length_size = version == 1 ? 2 : 4;
  if (std::fread(length_bytes, 1, length_size, file.get()) != length_size)
    return fail("is cut short in its header");
  size_t length = 0;
  for (size_t i = length_size; i-- > 0;) length = length * 256 + length_bytes[i];
  if (length > 65536) return fail("has a header too long for a .npy file");
  std::string dict(length, '\0');
  if (std::fread(dict.data(), 1, length, file.get()) != length)
    return fail("is cut short in its header");
  std::string descr, order, shape;
  if (!DictValue(dict, "descr", &descr) || !DictValue(dict, "fortran_order", &order) ||
      !DictValue(dict, "shape", &shape) || shape.front() != '(' ||
      !ParseShape(shape, &array->shape))
    return fail("has a header that is no .npy header");
  if (order != "False") return fail("is in Fortran order; save it in C order");
  array->dtype = descr.substr(1, descr.size() - 2);
  int64_t count = 1;
  for (const int64_t d : array->shape) {
    if (d > 0 && count > ((int64_t{1} << 31) - 1) / d) return fail("holds too many elements");
    count *= d;
  }
  const std::regex sized("[<>|=][a-z](\\d{1,2})");
  std::smatch found;
  if (!std::regex_match(array->dtype, found, sized))
    return fail("holds elements of type '" + array->dtype + "'");
  const size_t bytes = size_t(count) * std::stoul(found[1]);
  // Read as it comes, so a header that promises more than the file holds costs no memory.
  array->data.clear();
  constexpr size_t kChunk = size_t{1} << 20;
  while (array->data.size() < bytes) {
    const size_t had = array->data.size(), wanted = std::min(kChunk, bytes - had);
    array->data.resize(had + wanted);
    if (std::fread(array->data.data() + had, 1, wanted, file.get()) != wanted)
      return fail("is cut short: its header promises " + std::to_string(bytes) + " bytes of data");
  }
  if (std::fgetc(file.get()) != EOF) return fail("holds more data than its header says");
  return true;
}

}  // namespace gck
