#pragma once
// Arrays of any number of dimensions: reading an input's sizes and creating an output of more
// than two dimensions. The kernel gateways see every array as M x N and need neither.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "bridge/arguments.h"
#include "bridge/class_id.h"
#include "bridge/gateway.h"

namespace gck {

// The number of dimensions (at least two) and the size along one of them; 1 past the last.
int DimensionCount(const mxArray* array);
int64_t Dimension(const mxArray* array, int index);

// The sizes as a message shows them: "20x24x0".
void DescribeDimensions(const mxArray* array, char* text, size_t size);

// A zero-filled array with the given sizes (at most eight); their product must lie below 2^31.
mxArray* CreateArrayOfSizes(ClassId class_id, std::initializer_list<int32_t> sizes);

// Such an array of T's class, placed in output slot `slot`.
template <class T>
T* CreateOutputOfSizes(Call& call, int slot, std::initializer_list<int32_t> sizes) {
  if (slot >= call.output_slots()) Fail("Too few output slots for this call.");
  mxArray* array = CreateArrayOfSizes(ClassOf<T>::value, sizes);
  call.plhs[slot] = array;
  return static_cast<T*>(DataOf(array));
}

}  // namespace gck
