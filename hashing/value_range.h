#pragma once
// The range check that gateways run over index-like values (projection values, codes) before a core
// uses them as addresses.

#include <cstdint>

namespace gck {

// Position of the first of values[0 .. count) that lies outside low..high, or count when none does.
template <class V>
int32_t FirstOutside(const V* values, int32_t count, int64_t low, int64_t high);

}  // namespace gck
