#include "propagation/single_best_sweep.h"

#include "propagation/bounded_distance.h"

namespace gck {
namespace {

// The sweep of one pixel, with its stacks' columns and its cells of E and Map.
template <class T, bool kGuarded>
class PixelSweep {
 public:
  PixelSweep(const SweepInputs<T>& in, uint32_t* errors, uint32_t* matches)
      : in_(in), errors_(errors), matches_(matches) {}

  void Visit(uint32_t p) {
    // Both neighbour matches are taken before anything of p is scored, as p's own updates must not
    // move them.
    const uint32_t first =
        in_.downward ? matches_[p - in_.rows] + in_.rows_b : matches_[p + in_.rows] - in_.rows_b;
    const uint32_t second = in_.downward ? matches_[p - 1] + 1 : matches_[p + 1] - 1;
    const uint32_t code = in_.codes_a[p];
    ScoreBucketOfB(p, code);
    ScoreBucketMates(p, code);
    ScoreMoved(p, first);
    ScoreMoved(p, second);
  }

 private:
  // The slot row of a code, or false for a code outside 1..buckets.
  bool BucketOf(uint32_t code, uint32_t* bucket) const {
    *bucket = code - 1;
    return !kGuarded || *bucket < in_.buckets;
  }

  void ScoreBucketOfB(uint32_t p, uint32_t code) {
    uint32_t bucket;
    if (!BucketOf(code, &bucket)) return;
    for (uint32_t j = 0; j < in_.slots; ++j) {
      CalcSqrDifferenceAndTakeBest(p, in_.table_b[bucket + j * in_.buckets] - 1);
    }
  }

  void ScoreBucketMates(uint32_t p, uint32_t code) {
    uint32_t bucket;
    if (!BucketOf(code, &bucket)) return;
    const uint32_t pixels_a = in_.rows * in_.cols;
    for (uint32_t j = 0; j < in_.slots; ++j) {
      const uint32_t mate = in_.table_a[bucket + j * in_.buckets] - 1;
      if (kGuarded && mate >= pixels_a) continue;
      CalcSqrDifferenceAndTakeBest(p, matches_[mate]);
    }
  }

  // A moved neighbour match, then the bucket of its code in B.
  void ScoreMoved(uint32_t p, uint32_t moved) {
    if (kGuarded && moved >= in_.pixels_b) return;
    CalcSqrDifferenceAndTakeBest(p, moved);
    ScoreBucketOfB(p, in_.codes_b[moved]);
  }

  void CalcSqrDifferenceAndTakeBest(uint32_t p, uint32_t q) {
    if (kGuarded && q >= in_.pixels_b) return;
    if (matches_[p] == q) return;
    uint32_t distance;
    if (!WithinBudget(in_.stack_a + p * in_.kernels, in_.stack_b + q * in_.kernels, in_.kernels,
                      errors_[p], &distance)) {
      return;
    }
    errors_[p] = distance;
    matches_[p] = q;
  }

  const SweepInputs<T> in_;  // a copy: stores into E and Map cannot then alias its sizes
  uint32_t* errors_;
  uint32_t* matches_;
};

template <class T, bool kGuarded>
void Sweep(const SweepInputs<T>& in, uint32_t* errors, uint32_t* matches) {
  if (in.kernels == 0 || in.rows < 2 || in.cols < 2) return;
  PixelSweep<T, kGuarded> sweep(in, errors, matches);
  if (in.downward) {
    for (uint32_t col = 1; col < in.cols; ++col) {
      for (uint32_t p = col * in.rows + 1, end = (col + 1) * in.rows; p < end; ++p) sweep.Visit(p);
    }
  } else {
    for (uint32_t col = in.cols - 1; col-- > 0;) {
      for (uint32_t p = (col + 1) * in.rows - 1, end = col * in.rows; p-- > end;) sweep.Visit(p);
    }
  }
}

}  // namespace

template <class T>
void SingleBestSweep(const SweepInputs<T>& in, uint32_t* errors, uint32_t* matches) {
  Sweep<T, true>(in, errors, matches);
}

template <class T>
void UnguardedSingleBestSweep(const SweepInputs<T>& in, uint32_t* errors, uint32_t* matches) {
  Sweep<T, false>(in, errors, matches);
}

template void SingleBestSweep<int16_t>(const SweepInputs<int16_t>&, uint32_t*, uint32_t*);
template void SingleBestSweep<int32_t>(const SweepInputs<int32_t>&, uint32_t*, uint32_t*);
template void UnguardedSingleBestSweep<int16_t>(const SweepInputs<int16_t>&, uint32_t*, uint32_t*);
template void UnguardedSingleBestSweep<int32_t>(const SweepInputs<int32_t>&, uint32_t*, uint32_t*);

}  // namespace gck
