#pragma once
// The gateway shared by bucketmap_i16 and bucketmap_i32, which differ in the projection images'
// element type. No class is examined: any 4-byte table and any element of the images' width is read
// as it is, but nothing outside the table.

#include <algorithm>
#include <cstdint>

#include "bridge/arguments.h"
#include "bridge/gateway.h"
#include "bridge/outputs.h"
#include "hashing/bin_codes.h"
#include "hashing/value_range.h"

namespace gck {

template <class V>
void RunBucketMap(const char* name, Call& call) {
  if (call.nrhs < 3) Failf("%s needs three inputs: a lookup table and two projection images.", name);
  RequireFullAndReal(call, 3);
  const ArrayView<const uint32_t> table = ViewOf<const uint32_t>(call.input(0), "Lookup table");
  const char* const image_names[] = {"First projection image", "Second projection image"};
  const ArrayView<const V> images[] = {ViewOf<const V>(call.input(1), image_names[0]),
                                       ViewOf<const V>(call.input(2), image_names[1])};
  // Only the outputs the caller asked for (at least `ans`) are made, and only their images read.
  const int outputs = std::min(2, call.output_slots());
  for (int i = 0; i < outputs; ++i) {
    const int32_t count = static_cast<int32_t>(images[i].count());
    const int32_t stray = FirstOutside(images[i].data, count, 1, table.count());
    if (stray < count) {
      Failf("%s holds %d at element %d; values must lie in 1..%lld, the lookup table's entries.",
            image_names[i], static_cast<int>(images[i].data[stray]), stray + 1,
            static_cast<long long>(table.count()));
    }
  }
  for (int i = 0; i < outputs; ++i) {
    const ArrayView<uint32_t> codes = CreateOutput<uint32_t>(call, i, images[i].rows, images[i].cols);
    LookupBinCodes(table.data, images[i].data, static_cast<int32_t>(codes.count()), codes.data);
  }
}

}  // namespace gck
