#pragma once
// One propagation sweep that keeps a single match per pixel of A.

#include <cstdint>

#include "propagation/sweep_inputs.h"

namespace gck {

// errors, matches: M * N each, read and rewritten in place. matches[p] is the 0-based pixel of B
// that pixel p of A is matched to, errors[p] its distance in the arithmetic of WithinBudget.
//
// Visits columns 1..N-1, rows 1..M-1 in increasing linear order (downward) or columns N-2..0, rows
// M-2..0 in decreasing order (upward). Each visited pixel p scores, in this order: the bucket of its
// code in B's table; the current matches of its bucket-mates in A's table; its first neighbour's
// match (p -+ M) moved one column (+-M_B) and the bucket of that position's code in B's table; its
// second neighbour's match (p -+ 1) moved one row (+-1) and that position's bucket. A candidate that
// is not the current match and lies within errors[p] replaces it (ties go to the later candidate).
//
// Never reads outside the inputs: a slot value of 0 or past its image, a code outside 1..buckets, or
// a candidate at or past pixels_b is skipped (with the bucket of a moved candidate). kernels = 0 does
// nothing. Requires stacks of kernels * M * N and kernels * pixels_b values, codes_a of M * N,
// codes_b of pixels_b, and tables of buckets * slots elements.
template <class T>
void SingleBestSweep(const SweepInputs<T>& in, uint32_t* errors, uint32_t* matches);

// The same sweep without the guards against bad slots, codes and candidates. Only for pricing the
// guards in the benchmark: a single invalid value makes it read outside the inputs.
template <class T>
void UnguardedSingleBestSweep(const SweepInputs<T>& in, uint32_t* errors, uint32_t* matches);

}  // namespace gck
