#include "bridge/dimensions.h"

#include <cinttypes>
#include <cstdio>

namespace gck {

int DimensionCount(const mxArray* array) {
  return static_cast<int>(mxGetNumberOfDimensions(array));
}

int64_t Dimension(const mxArray* array, int index) {
  if (index >= DimensionCount(array)) return 1;
  return static_cast<int64_t>(mxGetDimensions(array)[index]);
}

void DescribeDimensions(const mxArray* array, char* text, size_t size) {
  size_t used = 0;
  text[0] = '\0';
  for (int i = 0; i < DimensionCount(array) && used < size; ++i) {
    const int written = std::snprintf(text + used, size - used, i == 0 ? "%" PRId64 : "x%" PRId64,
                                      Dimension(array, i));
    if (written < 0) break;
    used += static_cast<size_t>(written);
  }
}

mxArray* CreateArrayOfSizes(ClassId class_id, std::initializer_list<int32_t> sizes) {
  mwSize dims[8];
  int count = 0;
  for (const int32_t size : sizes) {
    if (count < 8) dims[count++] = static_cast<mwSize>(size);
  }
  return mxCreateNumericArray(count, dims, static_cast<mxClassID>(class_id), mxREAL);
}

}  // namespace gck
