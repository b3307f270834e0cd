#include "propagation/kbest_sweep.h"

#include "propagation/kbest_candidates.h"
#include "propagation/kbest_list.h"

namespace gck {

template <class T>
void KBestSweep(const SweepInputs<T>& in, uint32_t k, uint32_t* errors, uint32_t* matches) {
  if (k == 0 || in.kernels == 0) return;
  kbest::ForEachVisitedPixel(in.rows, in.cols, in.downward, [&](uint32_t p) {
    kbest::ScoreNeighbourhood(in, k, matches, p, [&](uint32_t q) {
      uint32_t distance;
      kbest::CalcSqrDifferenceAndTakeBest(in, p, q, k, errors, matches, &distance);
    });
  });
}

template void KBestSweep<int16_t>(const SweepInputs<int16_t>&, uint32_t, uint32_t*, uint32_t*);
template void KBestSweep<int32_t>(const SweepInputs<int32_t>&, uint32_t, uint32_t*, uint32_t*);

}  // namespace gck
