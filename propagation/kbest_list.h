#pragma once
// The k-best scoring shared by the k-best sweeps. A list is the k (error, match) entries of one
// pixel, never sorted: slot 0 holds the entry accepted last, and an accepted candidate drops the
// worst entry and moves the old slot-0 entry into its place, four stores whatever k is.

#include <cstddef>
#include <cstdint>

#include "propagation/bounded_distance.h"
#include "propagation/sweep_inputs.h"

namespace gck::kbest {

// One pass over a list. Returns false when `newcomer` is already in it. Otherwise *worst is the entry
// a newcomer would drop: the lowest slot holding the largest error above 0, found by a running
// maximum from 0; when every error is 0 it is slot 1 (slot 0 for a one-entry list), so the newcomer
// still keeps the previous slot-0 entry. *budget is the largest error, the bound a newcomer has to
// meet, which is why no list's largest error ever grows.
inline bool FindWorstSlot(const uint32_t* errors, const uint32_t* matches, uint32_t k,
                          uint32_t newcomer, uint32_t* worst, uint32_t* budget) {
  uint32_t largest = 0;
  uint32_t slot = k > 1 ? 1 : 0;
  for (uint32_t s = 0; s < k; ++s) {
    if (matches[s] == newcomer) return false;
    if (errors[s] > largest) {
      largest = errors[s];
      slot = s;
    }
  }
  *worst = slot;
  *budget = largest;
  return true;
}

inline void Commit(uint32_t* errors, uint32_t* matches, uint32_t worst, uint32_t error,
                   uint32_t match) {
  errors[worst] = errors[0];
  matches[worst] = matches[0];
  errors[0] = error;
  matches[0] = match;
}

// Scores candidate q of B for the list of pixel p of A against the list's largest error. Returns
// whether q entered the list, with its distance in *distance. A candidate already in the list, or
// outside B, is passed over without arithmetic.
template <class T>
inline bool CalcSqrDifferenceAndTakeBest(const SweepInputs<T>& in, uint32_t p, uint32_t q,
                                         uint32_t k, uint32_t* errors, uint32_t* matches,
                                         uint32_t* distance) {
  if (q >= in.pixels_b) return false;
  uint32_t* list_errors = errors + static_cast<size_t>(p) * k;
  uint32_t* list_matches = matches + static_cast<size_t>(p) * k;
  uint32_t worst, budget;
  if (!FindWorstSlot(list_errors, list_matches, k, q, &worst, &budget)) return false;
  const size_t kernels = in.kernels;
  if (!WithinBudget(in.stack_a + p * kernels, in.stack_b + q * kernels, in.kernels, budget,
                    distance)) {
    return false;
  }
  Commit(list_errors, list_matches, worst, *distance, q);
  return true;
}

}  // namespace gck::kbest
