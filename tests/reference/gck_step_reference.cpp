#include "tests/reference/gck_step_reference.h"

namespace gck::reference {

int64_t Wrap(int64_t v, int bits) {
  const int64_t modulus = int64_t{1} << bits;
  int64_t r = v % modulus;
  if (r < 0) r += modulus;
  return r >= modulus / 2 ? r - modulus : r;
}

std::vector<int64_t> GckStep(const std::vector<int64_t>& x, const GckStepCase& s) {
  const int M = s.rows;
  const int W = s.cols / s.planes;
  const int last_col = s.horizontal ? W - s.width - (s.includes_last ? 0 : 1) : W - 1;
  const int first_col = s.horizontal ? s.width : 1;
  const int last_row = s.horizontal ? M - 1 : M - s.width - (s.includes_last ? 0 : 1);
  const int first_row = s.horizontal ? 1 : s.width;
  const int64_t D = s.horizontal ? int64_t{s.delta} * M : s.delta;
  std::vector<int64_t> y(x.size(), 0);
  for (int c = first_col; c <= last_col; ++c) {
    for (int r = first_row; r <= last_row; ++r) {
      for (int k = 0; k < s.planes; ++k) {
        const int64_t p = r + (int64_t{c} + int64_t{k} * W) * M;
        const int64_t v = s.alpha_positive ? x[p] + x[p - D] + y[p - D] : x[p] - x[p - D] - y[p - D];
        y[p] = Wrap(v, s.bits);
      }
    }
  }
  return y;
}

}  // namespace gck::reference
