#pragma once
// k-best sweeps into B and within one image, step by step as described, on bounds-checked vectors.

#include <cstdint>
#include <vector>

namespace gck::reference {

template <class T>
struct KBestProblem {
  std::vector<T> stack_a, stack_b;  // kernels values per pixel
  std::vector<uint32_t> codes_a, codes_b;
  std::vector<uint32_t> table_a, table_b;  // buckets rows
  uint32_t rows = 0, cols = 0, rows_b = 0;
  uint32_t kernels = 0, buckets = 0;
  uint32_t hashes = 0;  // H; max(H, 1) slots are read
  bool downward = true;
};

// The lists (entry s of pixel p at p * k + s) after one sweep into B. A candidate, a moved position
// or a moved entry that is not a pixel of B (codes_b.size() pixels), a code outside 1..buckets or a
// bucket-mate outside A is skipped with whatever it would have led to.
template <class T>
void KBestSweepReference(const KBestProblem<T>& problem, uint32_t k, std::vector<uint32_t>& errors,
                         std::vector<uint32_t>& matches);

// The same within one image, with neighbours of neighbours and, when `reciprocal`, the offer of an
// accepting pixel of the reciprocal zone to its candidate's list.
template <class T>
void KBestSelfSweepReference(const KBestProblem<T>& problem, uint32_t k, bool reciprocal,
                             std::vector<uint32_t>& errors, std::vector<uint32_t>& matches);

}  // namespace gck::reference
