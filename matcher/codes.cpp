#include "matcher/codes.h"

#include <algorithm>
#include <cmath>

#include "hashing/bin_codes.h"
#include "hashing/integer_hash.h"

namespace gck {
namespace {

void AddMoments(const int16_t* values, size_t count, double* sum, double* squares) {
  for (size_t i = 0; i < count; ++i) {
    *sum += values[i];
    *squares += double(values[i]) * values[i];
  }
}

}  // namespace

CodeBook MakeCodeBook(const Projections& a, const Projections& b, int32_t binned, double scale,
                      int32_t bits) {
  CodeBook book;
  book.bits = bits;
  const size_t count_a = static_cast<size_t>(a.rows) * a.cols;
  const size_t count_b = static_cast<size_t>(b.rows) * b.cols;
  for (int32_t v = 0; v < std::min(binned, a.values); ++v) {
    double sum = 0, squares = 0;
    AddMoments(a.plane(v), count_a, &sum, &squares);
    AddMoments(b.plane(v), count_b, &sum, &squares);
    const double n = static_cast<double>(count_a + count_b);
    const double deviation = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
    book.planes.push_back(v);
    book.bin_widths.push_back(std::max(1, static_cast<int32_t>(std::lround(scale * deviation))));
  }
  return book;
}

std::vector<uint32_t> BinTable(int32_t width, int32_t shift) {
  std::vector<uint32_t> table(2 * kProjectionLimit + 1);
  for (int32_t i = 0; i < static_cast<int32_t>(table.size()); ++i)
    table[i] = static_cast<uint32_t>((i + shift) / width);
  return table;
}

void ComputeCodes(const Projections& p, const CodeBook& book, double phase,
                  std::vector<uint32_t>* codes) {
  const int32_t count = p.rows * p.cols;
  std::vector<uint64_t> keys(count, 0);
  std::vector<uint32_t> bins(count);
  for (size_t n = 0; n < book.planes.size(); ++n) {
    const int32_t width = book.bin_widths[n];
    const std::vector<uint32_t> table = BinTable(width, static_cast<int32_t>(phase * width));
    // The table covers -limit..limit; values are 1-based indices into it, hence the moved base.
    LookupBinCodes(table.data() + kProjectionLimit + 1, p.plane(book.planes[n]), count,
                   bins.data());
    for (int32_t i = 0; i < count; ++i) keys[i] = keys[i] * 0x100000001B3ull + bins[i];
  }
  codes->resize(count);
  HashKeys(keys.data(), count, 2, book.bits, codes->data());
  for (uint32_t& code : *codes) code += 1;
}

}  // namespace gck
