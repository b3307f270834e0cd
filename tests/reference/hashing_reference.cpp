#include "tests/reference/hashing_reference.h"

#include <map>
#include <stdexcept>

namespace gck::reference {

template <class V>
std::vector<uint32_t> BinCodes(const std::vector<uint32_t>& table, const std::vector<V>& values) {
  std::vector<uint32_t> out;
  for (V value : values) out.push_back(table.at(static_cast<size_t>(int64_t{value} - 1)));
  return out;
}

template std::vector<uint32_t> BinCodes(const std::vector<uint32_t>&, const std::vector<int16_t>&);
template std::vector<uint32_t> BinCodes(const std::vector<uint32_t>&, const std::vector<int32_t>&);

std::vector<uint32_t> FilledTable(std::vector<uint32_t> table, const std::vector<uint32_t>& codes,
                                  int bits, int rows, int cols, int offset, int ring_slots) {
  const int64_t buckets = int64_t{1} << bits;
  std::map<int64_t, int> next_slot;  // absent means slot 0
  for (int64_t c = 1; c + 1 < cols; ++c) {
    for (int64_t r = 0; r < rows; ++r) {
      const int64_t p = r + c * rows;
      const int64_t bucket = int64_t{codes.at(static_cast<size_t>(offset + p))} - 1;
      if (bucket < 0 || bucket >= buckets) throw std::out_of_range("code outside the table");
      const int slot = next_slot[bucket];
      table.at(static_cast<size_t>(bucket + slot * buckets)) = static_cast<uint32_t>(p + 1);
      next_slot[bucket] = ring_slots == 0 ? 1 : (slot + 1) % ring_slots;
    }
  }
  return table;
}

namespace {

// The word: a 64-bit value kept reduced modulo 2^width after every operation.
struct Word {
  uint64_t value;
  uint64_t mask;

  Word Of(uint64_t v) const { return {v & mask, mask}; }
  Word operator+(Word o) const { return Of(value + o.value); }
  Word operator-(Word o) const { return Of(value - o.value); }
  Word operator*(uint64_t c) const { return Of(value * c); }
  Word operator^(Word o) const { return Of(value ^ o.value); }
  Word operator^(uint64_t c) const { return Of(value ^ c); }
  Word operator+(uint64_t c) const { return Of(value + c); }
  Word operator<<(int s) const { return Of(value << s); }
  Word operator>>(int s) const { return Of(value >> s); }
  Word operator~() const { return Of(~value); }
};

}  // namespace

uint64_t Hash(int selector, uint64_t key, int width) {
  const uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
  Word x{key & mask, mask};
  switch (selector) {
    case 1:
      x = (x ^ 61) ^ (x >> 16);
      x = x + (x << 3);
      x = x ^ (x >> 4);
      x = x * 0x27D4EB2D;
      x = x ^ (x >> 15);
      break;
    case 2:
    case 7:
      x = (x + 0x7ED55D16) + (x << 12);
      x = (x ^ 0xC761C23C) ^ (x >> 19);
      x = (x + 0x165667B1) + (x << 5);
      x = (x + 0xD3A2646C) ^ (x << 9);
      x = (x + 0xFD7046C5) + (x << 3);
      x = (x ^ 0xB55A4F09) ^ (x >> 16);
      break;
    case 3:
    case 8:
      x = x - (x << 6);
      x = x ^ (x >> 17);
      x = x - (x << 9);
      x = x ^ (x << 4);
      x = x - (x << 3);
      x = x ^ (x << 10);
      x = x ^ (x >> 15);
      break;
    case 4:
    case 9:
      x = x + ~(x << 15);
      x = x ^ (x >> 10);
      x = x + (x << 3);
      x = x ^ (x >> 6);
      x = x + ~(x << 11);
      x = x ^ (x >> 16);
      break;
    case 5:
      x = (x ^ 0xDEADBEEF) + (x << 4);
      x = x ^ (x >> 10);
      x = x + (x << 7);
      x = x ^ (x >> 13);
      break;
    case 6:
      x = x ^ (x >> 4);
      x = (x ^ 0xDEADBEEF) + (x << 5);
      x = x ^ (x >> 11);
      break;
    default:
      throw std::invalid_argument("selector outside 1..9");
  }
  return x.value;
}

}  // namespace gck::reference
