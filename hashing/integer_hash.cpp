#include "hashing/integer_hash.h"

#include <cassert>

namespace gck {
namespace {

// One loop per hash, so the compiler sees the whole routine inside it and can vectorise.
template <class Word, Word (*Hash)(Word)>
void HashAll(const Word* keys, int32_t count, uint32_t mask, uint32_t* codes) {
  for (int32_t k = 0; k < count; ++k) codes[k] = static_cast<uint32_t>(Hash(keys[k])) & mask;
}

}  // namespace

template <class Word>
void HashKeys(const Word* keys, int32_t count, int32_t selector, int32_t bits, uint32_t* codes) {
  const uint32_t mask = CodeMask(bits);
  switch (selector) {
    case 1: return HashAll<Word, hash_1<Word>>(keys, count, mask, codes);
    case 2:
    case 7: return HashAll<Word, hash_2<Word>>(keys, count, mask, codes);
    case 3:
    case 8: return HashAll<Word, hash_3<Word>>(keys, count, mask, codes);
    case 4:
    case 9: return HashAll<Word, hash_4<Word>>(keys, count, mask, codes);
    case 5: return HashAll<Word, hash_5<Word>>(keys, count, mask, codes);
    case 6: return HashAll<Word, hash_6<Word>>(keys, count, mask, codes);
    default: assert(false && "selector outside 1..9");
  }
}

template void HashKeys<uint32_t>(const uint32_t*, int32_t, int32_t, int32_t, uint32_t*);
template void HashKeys<uint64_t>(const uint64_t*, int32_t, int32_t, int32_t, uint32_t*);

}  // namespace gck
