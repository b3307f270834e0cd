#pragma once
// Random propagation inputs for the sweep tests, and their typed form for the cores.

#include <cstdint>
#include <random>
#include <vector>

#include "propagation/sweep_inputs.h"
#include "tests/reference/single_best_sweep_reference.h"

namespace gck::testing {

struct CaseShape {
  uint32_t kernels = 4;
  uint32_t hash_slots = 1;  // H; max(H, 1) slots are filled
  bool wide = false;        // int32 stacks
  bool extremes = false;    // values at the ends of the element range, so pair sums wrap
  double bad_rate = 0;  // share of empty or foreign slots, codes outside 1..R, matches outside B
};

// Images of 1 to 9 rows and columns, up to 8 buckets; small values so that ties are common.
reference::SweepCase RandomCase(std::mt19937& rng, const CaseShape& shape);

// Starting best errors: a mix of 4294967295, 0, small and arbitrary values.
std::vector<uint32_t> RandomErrors(std::mt19937& rng, size_t count);

// Starting matches inside B, or (at bad_rate) anywhere.
std::vector<uint32_t> RandomMatches(std::mt19937& rng, size_t count, uint32_t pixels_b,
                                    double bad_rate);

uint32_t PixelsOfB(const reference::SweepCase& c);

// The case's stacks in the core's element type, and the core's view of the whole case.
template <class T>
struct TypedCase {
  explicit TypedCase(const reference::SweepCase& c);
  std::vector<T> stack_a, stack_b;
  SweepInputs<T> inputs;
};

}  // namespace gck::testing
