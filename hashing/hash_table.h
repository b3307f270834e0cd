#pragma once
// The hash table of an image: each bucket remembers a few of the pixels whose code selects it.
//
// Table: R = 2^bits rows (buckets) by slots columns, uint32, column-major; slot s of bucket b lies at
// b + s*R and holds a 1-based linear pixel index.

#include <cstdint>

namespace gck {

// Which slot the next pixel of a bucket goes to.
class SlotPolicy {
 public:
  // Slot 0 keeps the bucket's first pixel, slot 1 its last (Linux build).
  static constexpr SlotPolicy TwoFixed() { return SlotPolicy(0); }
  // Pixels cycle through slots 0 .. k-1, each slot keeping the latest it was given (Windows build).
  // Requires 1 <= k <= 128: the slot counter is one byte.
  static constexpr SlotPolicy Ring(int32_t k) { return SlotPolicy(k); }

  constexpr bool is_ring() const { return ring_ > 0; }
  // Columns the fill can write, so the table must have at least this many.
  constexpr int32_t slots() const { return is_ring() ? ring_ : 2; }

 private:
  explicit constexpr SlotPolicy(int32_t ring) : ring_(ring) {}
  int32_t ring_;
};

// Files pixels p = rows .. (cols - 1) * rows - 1 (columns 1 to cols - 2; the first and last columns
// are never stored) in visiting order: bucket b = codes[offset + p] - 1 gets p + 1 in the slot its
// counter names, and the counter advances by the policy. The stored value does not depend on offset.
// Table elements no pixel reaches keep their contents.
//
// slot_counter: 2^bits bytes of scratch, zeroed here, so every call starts each bucket at slot 0.
// Requires 0 <= bits <= 30, every code read in 1..2^bits, a table of at least 2^bits * policy.slots()
// elements, and codes[offset + (cols - 1) * rows - 1] inside the code array when cols > 2.
void FillHashTable(uint32_t* table, const uint32_t* codes, int32_t bits, int32_t rows, int32_t cols,
                   int32_t offset, SlotPolicy policy, uint8_t* slot_counter);

}  // namespace gck
