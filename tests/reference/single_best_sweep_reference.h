#pragma once
// One single-best propagation sweep, step by step as the matcher describes it, in plain 64-bit
// arithmetic reduced where the description reduces.

#include <cstdint>
#include <vector>

namespace gck::reference {

// Everything a sweep reads, as the caller hands it over. Stack values are held in 64 bits; `wide`
// selects int32 arithmetic (squared differences modulo 2^32) over int16 (exact squares).
struct SweepCase {
  std::vector<int64_t> stack_a, stack_b;
  std::vector<uint32_t> codes_a, codes_b, table_a, table_b;
  uint32_t rows = 0, cols = 0, rows_b = 0, kernels = 0, buckets = 0, hash_slots = 0;
  bool downward = true;
  bool wide = false;
};

// What the sweep did, counted by the rules of the bounded test: a rejected candidate has read one
// row after term 0, k + 2 rows after the pair (k, k + 1), all rows after the last term.
struct SweepCounts {
  uint64_t scored = 0;  // candidates that reached the arithmetic
  uint64_t rejected = 0;
  uint64_t rejected_rows = 0;
};

// Rewrites errors and matches (rows * cols each) in place. Candidates outside B (at or past the
// pixels that both B's stack and B's codes cover), slots holding 0 or a pixel outside their image,
// and codes outside 1..buckets are passed over, as is everything when kernels is 0.
void SingleBestSweep(const SweepCase& c, std::vector<uint32_t>& errors,
                     std::vector<uint32_t>& matches, SweepCounts* counts = nullptr);

}  // namespace gck::reference
