#pragma once
// Bin codes, hash table fills and integer hashes done the slow way, step by step as described.

#include <cstdint>
#include <vector>

namespace gck::reference {

// table[value - 1] for every value, values widened to 64 bits.
template <class V>
std::vector<uint32_t> BinCodes(const std::vector<uint32_t>& table, const std::vector<V>& values);

// Returns a copy of `table` after the fill. ring_slots = 0 means two fixed slots (first pixel of a
// bucket in slot 0, every later one in slot 1); otherwise pixels cycle through that many slots.
std::vector<uint32_t> FilledTable(std::vector<uint32_t> table, const std::vector<uint32_t>& codes,
                                  int bits, int rows, int cols, int offset, int ring_slots);

// Hash `selector` (1..9) of `key` computed in a word of `width` bits (32 or 64), every step reduced
// modulo 2^width by hand.
uint64_t Hash(int selector, uint64_t key, int width);

}  // namespace gck::reference
