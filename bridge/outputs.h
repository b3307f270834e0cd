#pragma once
// Arrays a gateway creates: outputs placed in their slots, and scratch the host reclaims.

#include <cstdint>

#include "bridge/arguments.h"
#include "bridge/class_id.h"
#include "bridge/gateway.h"

namespace gck {

// A zero-filled rows x cols array of T's class, not placed in any slot.
mxArray* CreateArray(ClassId class_id, int32_t rows, int32_t cols);

// A zero-filled output placed in output slot `slot` before the core runs.
template <class T>
ArrayView<T> CreateOutput(Call& call, int slot, int32_t rows, int32_t cols) {
  if (slot >= call.output_slots()) Fail("Too few output slots for this call.");
  mxArray* array = CreateArray(ClassOf<T>::value, rows, cols);
  call.plhs[slot] = array;
  return {static_cast<T*>(DataOf(array)), rows, cols};
}

// Zero-filled scratch that lives until the call ends: the host reclaims it, it is never an output.
template <class T>
ArrayView<T> CreateScratch(int32_t rows, int32_t cols) {
  mxArray* array = CreateArray(ClassOf<T>::value, rows, cols);
  return {static_cast<T*>(mxGetData(array)), rows, cols};
}

}  // namespace gck
