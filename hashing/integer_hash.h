#pragma once
// Nine integer hashes of one word to one word, and their application to an array of keys.
//
// Word is uint64_t (64-bit keys, every step modulo 2^64) or uint32_t (32-bit keys, modulo 2^32); the
// same key can hash differently in the two widths. Right shifts are logical, constants lie below 2^32.

#include <cstdint>

namespace gck {

// Multiplicative hash.
template <class Word>
constexpr Word hash_1(Word x) {
  x = (x ^ Word{61}) ^ (x >> 16);
  x = x + (x << 3);
  x = x ^ (x >> 4);
  x = x * Word{0x27D4EB2D};
  return x ^ (x >> 15);
}

// Six add/xor-shift rounds.
template <class Word>
constexpr Word hash_2(Word x) {
  x = (x + Word{0x7ED55D16}) + (x << 12);
  x = (x ^ Word{0xC761C23C}) ^ (x >> 19);
  x = (x + Word{0x165667B1}) + (x << 5);
  x = (x + Word{0xD3A2646C}) ^ (x << 9);
  x = (x + Word{0xFD7046C5}) + (x << 3);
  return (x ^ Word{0xB55A4F09}) ^ (x >> 16);
}

// Seven shifts.
template <class Word>
constexpr Word hash_3(Word x) {
  x = x - (x << 6);
  x = x ^ (x >> 17);
  x = x - (x << 9);
  x = x ^ (x << 4);
  x = x - (x << 3);
  x = x ^ (x << 10);
  return x ^ (x >> 15);
}

// Six shifts with complemented left shifts.
template <class Word>
constexpr Word hash_4(Word x) {
  x = x + ~(x << 15);
  x = x ^ (x >> 10);
  x = x + (x << 3);
  x = x ^ (x >> 6);
  x = x + ~(x << 11);
  return x ^ (x >> 16);
}

// Four shifts.
template <class Word>
constexpr Word hash_5(Word x) {
  x = (x ^ Word{0xDEADBEEF}) + (x << 4);
  x = x ^ (x >> 10);
  x = x + (x << 7);
  return x ^ (x >> 13);
}

// Three shifts.
template <class Word>
constexpr Word hash_6(Word x) {
  x = x ^ (x >> 4);
  x = (x ^ Word{0xDEADBEEF}) + (x << 5);
  return x ^ (x >> 11);
}

// Selectors 7, 8 and 9 name the routines of 2, 3 and 4.
template <class Word>
constexpr Word (*hash_7)(Word) = hash_2<Word>;
template <class Word>
constexpr Word (*hash_8)(Word) = hash_3<Word>;
template <class Word>
constexpr Word (*hash_9)(Word) = hash_4<Word>;

// (1 << (bits & 31)) - 1 in 32 bits: bits 0 and 32 give 0, bits 33 behaves as 1.
constexpr uint32_t CodeMask(int32_t bits) {
  return (uint32_t{1} << (static_cast<uint32_t>(bits) & 31u)) - 1u;
}

// codes[k] = hash_selector(keys[k]) & CodeMask(bits) for k < count. Requires 1 <= selector <= 9.
template <class Word>
void HashKeys(const Word* keys, int32_t count, int32_t selector, int32_t bits, uint32_t* codes);

}  // namespace gck
