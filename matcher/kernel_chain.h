#pragma once
// The chain of 2D Walsh-Hadamard kernels the matcher projects onto, in sequency order, so that each
// kernel follows from the previous one by a single GCK step.

#include <cstdint>
#include <vector>

#include "projection/gck_step.h"

namespace gck {

// The 1D Walsh vector of length `side` (a power of two) with `sequency` sign changes: entries
// +1/-1.
std::vector<int> WalshVector(int32_t side, int32_t sequency);

struct KernelChain {
  int32_t side = 0;  // kernel side, a power of two
  // Kernel n is WalshVector(side, row_sequency[n]) down the rows times
  // WalshVector(side, col_sequency[n]) across the columns.
  std::vector<int32_t> row_sequency;
  std::vector<int32_t> col_sequency;
  // steps[n] turns the projection onto kernel n into the projection onto kernel n + 1. The GCK step
  // flips the sign each time: after n steps a chain holds (-1)^n times the true projection.
  std::vector<GckStepParams> steps;
};

// The first `count` kernels (1 <= count <= side^2) of a walk through the sequency plane that
// finishes every square of sequencies below s before it enters the next one: (0,0), (0,1), (1,1),
// (1,0), (2,0), (2,1), (2,2), (1,2), (0,2), (0,3), ... Each move changes one factor to its sequency
// neighbour, which two Walsh vectors differing in exactly one sign of their binary product form
// are. end_trim is given to every step.
KernelChain SequencyChain(int32_t side, int32_t count, int32_t end_trim);

// The largest power of two not above `width` (width >= 1).
int32_t KernelSide(int32_t width);

}  // namespace gck
