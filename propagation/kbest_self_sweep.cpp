#include "propagation/kbest_self_sweep.h"

#include <cstddef>

#include "propagation/kbest_candidates.h"
#include "propagation/kbest_list.h"

namespace gck {
namespace {

// The pixels whose acceptances are offered back: columns 1 .. N-2, rows 2 .. M-1.
inline bool InReciprocalZone(uint32_t p, uint32_t rows, uint32_t cols) {
  return p >= rows && p % rows >= 2 && p <= (cols - 1) * rows;
}

// Offers p to q's list with the distance d just found for the pair, which is the same seen from q;
// no arithmetic on the stacks. Changes at most the k entries of q.
inline void CompareDistToInverseCandidate(uint32_t d, uint32_t* errors, uint32_t* matches,
                                          uint32_t p, uint32_t q, uint32_t k) {
  uint32_t* list_errors = errors + static_cast<size_t>(q) * k;
  uint32_t* list_matches = matches + static_cast<size_t>(q) * k;
  uint32_t worst, budget;
  if (!kbest::FindWorstSlot(list_errors, list_matches, k, p, &worst, &budget) || d > budget) return;
  kbest::Commit(list_errors, list_matches, worst, d, p);
}

}  // namespace

template <class T>
void KBestSelfSweep(const SweepInputs<T>& in, uint32_t k, bool reciprocal, uint32_t* errors,
                    uint32_t* matches) {
  if (k == 0 || in.kernels == 0) return;
  const uint32_t pixels = in.rows * in.cols;
  kbest::ForEachVisitedPixel(in.rows, in.cols, in.downward, [&](uint32_t p) {
    const bool offers = reciprocal && InReciprocalZone(p, in.rows, in.cols);
    const auto score = [&](uint32_t q) {
      uint32_t distance;
      if (kbest::CalcSqrDifferenceAndTakeBest(in, p, q, k, errors, matches, &distance) && offers &&
          q < pixels) {
        CompareDistToInverseCandidate(distance, errors, matches, p, q, k);
      }
    };
    kbest::ScoreNeighbourhood(in, k, matches, p, score);
    // p's own list changes while it is walked: an acceptance takes slot 0, already walked, and may
    // move the old slot-0 entry into a slot still ahead.
    const uint32_t* own = matches + static_cast<size_t>(p) * k;
    for (uint32_t s = 0; s < k; ++s) {
      const uint32_t q = own[s];
      if (q == p || q >= pixels) continue;
      const uint32_t* theirs = matches + static_cast<size_t>(q) * k;
      for (uint32_t t = 0; t < k; ++t) {
        const uint32_t r = theirs[t];
        if (r != p) score(r);
      }
    }
  });
}

template void KBestSelfSweep<int16_t>(const SweepInputs<int16_t>&, uint32_t, bool, uint32_t*,
                                      uint32_t*);
template void KBestSelfSweep<int32_t>(const SweepInputs<int32_t>&, uint32_t, bool, uint32_t*,
                                      uint32_t*);

}  // namespace gck
