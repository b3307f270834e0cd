#include "hashing/hash_table.h"

#include <cassert>
#include <cstddef>
#include <cstring>

namespace gck {
namespace {

struct TwoFixedSlots {
  uint8_t After(uint8_t) const { return 1; }
};

struct RingOfSlots {
  uint8_t k;
  uint8_t After(uint8_t slot) const { return slot + 1 == k ? 0 : static_cast<uint8_t>(slot + 1); }
};

template <class Policy>
void Fill(uint32_t* table, const uint32_t* codes, size_t buckets, int64_t first, int64_t end,
          Policy policy, uint8_t* slot_counter) {
  for (int64_t p = first; p < end; ++p) {
    const size_t bucket = codes[p] - 1;
    const uint8_t slot = slot_counter[bucket];
    table[bucket + slot * buckets] = static_cast<uint32_t>(p + 1);
    slot_counter[bucket] = policy.After(slot);
  }
}

}  // namespace

void FillHashTable(uint32_t* table, const uint32_t* codes, int32_t bits, int32_t rows, int32_t cols,
                   int32_t offset, SlotPolicy policy, uint8_t* slot_counter) {
  assert(bits >= 0 && bits <= 30);
  assert(policy.slots() >= 1 && policy.slots() <= 128);
  const size_t buckets = size_t{1} << bits;
  std::memset(slot_counter, 0, buckets);
  const int64_t first = rows;
  const int64_t end = static_cast<int64_t>(cols - 1) * rows;
  if (end <= first) return;
  // Reading through codes + offset lets pixel p find its code at p.
  const uint32_t* pixel_codes = codes + offset;
  if (policy.is_ring()) {
    Fill(table, pixel_codes, buckets, first, end,
         RingOfSlots{static_cast<uint8_t>(policy.slots())}, slot_counter);
  } else {
    Fill(table, pixel_codes, buckets, first, end, TwoFixedSlots{}, slot_counter);
  }
}

}  // namespace gck
