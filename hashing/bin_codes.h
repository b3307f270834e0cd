#pragma once
// Bin codes of a projection image: each 1-based projection value selects an entry of a lookup table.

#include <cstdint>

namespace gck {

// out[k] = table[values[k] - 1] for k < count, the value widened as a signed integer before the
// subtraction and the 4-byte entry copied bit for bit. Every value must lie in 1..(table length).
template <class V>
void LookupBinCodes(const uint32_t* table, const V* values, int32_t count, uint32_t* out);

}  // namespace gck
