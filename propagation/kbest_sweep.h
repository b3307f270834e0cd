#pragma once
// One k-best sweep from A into B: every visited pixel of A keeps the k best matches found so far.

#include <cstdint>

#include "propagation/sweep_inputs.h"

namespace gck {

// errors, matches: the k-lists of A, entry s of pixel p at p * k + s, rewritten in place; every
// match
//   is a 0-based pixel of B. Lists are never sorted: slot 0 holds the entry accepted last.
// Per visited pixel h + h*k + 2*k*(1 + h) candidates are scored, h = in.slots. A candidate enters a
// list when its distance (pair sums modulo 2^32) does not exceed the list's largest error, and
// replaces the lowest slot holding that error.
// Requires k * rows * cols < 2^32 and arrays of at least k * rows * cols elements. Nothing is done
// for k = 0 or K = 0; table slots, codes, list entries and moved positions outside their image are
// skipped.
template <class T>
void KBestSweep(const SweepInputs<T>& in, uint32_t k, uint32_t* errors, uint32_t* matches);

}  // namespace gck
