#pragma once
// Inputs a gateway rewrites in place: the host lets variables share memory (after `F = E`, and in
// subtler ways), so a write through one input could change another that the gateway still reads.

#include "bridge/gateway.h"

namespace gck {

struct InPlaceInputs {
  const char* const* names;  // every input's name, by position, as a message starts it
  int written;               // inputs 1 .. written are rewritten in place
  int read;                  // inputs 1 .. read are read
};

// Whether the data of two arrays share any byte.
bool SharesMemory(const mxArray* a, const mxArray* b);

// Refuses a call in which an input rewritten in place shares memory with any other input read,
// naming the first such pair: "<Name> and <name> must not share memory."
void RequireSeparateMemory(const Call& call, const InPlaceInputs& inputs);

}  // namespace gck
