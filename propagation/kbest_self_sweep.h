#pragma once
// One k-best sweep within one image: A is also B, so every match is a pixel with a list of its own.

#include <cstdint>

#include "propagation/sweep_inputs.h"

namespace gck {

// As KBestSweep, with B the image A itself (rows_b = rows), and two more things:
// - after steps 1 to 4 a visited pixel p scores the neighbours of its neighbours: for each entry
//   q != p of its own list, read as the walk reaches it, every entry r != p of q's list;
// - with `reciprocal`, a pixel p in columns 1 .. N-2 and rows 2 .. M-1 that accepts q at distance d
//   is offered to q's list with that distance, which changes lists of pixels other than p.
// Entries of rows * cols or more are never used to address a list.
template <class T>
void KBestSelfSweep(const SweepInputs<T>& in, uint32_t k, bool reciprocal, uint32_t* errors,
                    uint32_t* matches);

}  // namespace gck
