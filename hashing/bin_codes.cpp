#include "hashing/bin_codes.h"

namespace gck {

template <class V>
void LookupBinCodes(const uint32_t* table, const V* values, int32_t count, uint32_t* out) {
  for (int32_t k = 0; k < count; ++k) out[k] = table[static_cast<int32_t>(values[k]) - 1];
}

template void LookupBinCodes<int16_t>(const uint32_t*, const int16_t*, int32_t, uint32_t*);
template void LookupBinCodes<int32_t>(const uint32_t*, const int32_t*, int32_t, uint32_t*);

}  // namespace gck
