#pragma once
// The visiting order of a k-best sweep and the candidates of steps 1 to 4 of one visited pixel,
// shared by the sweep into B and the sweep within one image. Every list entry is read just before
// it is used, so each candidate meets the lists as the earlier scorings left them.

#include <cstddef>
#include <cstdint>

#include "propagation/sweep_inputs.h"

namespace gck::kbest {

// Downward: columns 1 .. N-1, rows 1 .. M-1, increasing. Upward: the reverse of columns 0 .. N-2,
// rows 0 .. M-2. Either way both neighbours of a visited pixel were visited (or never are) first.
template <class Visit>
inline void ForEachVisitedPixel(uint32_t rows, uint32_t cols, bool downward, Visit&& visit) {
  if (rows < 2 || cols < 2) return;
  if (downward) {
    for (uint32_t col = 1; col < cols; ++col) {
      for (uint32_t row = 1; row < rows; ++row) visit(row + col * rows);
    }
  } else {
    for (uint32_t col = cols - 1; col-- > 0;) {
      for (uint32_t row = rows - 1; row-- > 0;) visit(row + col * rows);
    }
  }
}

// A code addresses bucket code - 1 of the tables; 0 and codes above R address none.
template <class T>
inline bool IsCode(const SweepInputs<T>& in, uint32_t code) {
  return code - 1u < in.buckets;
}

// The bucket candidates of `code` in `table`, slot 0 first; each slot holds a 1-based pixel.
template <class T, class Use>
inline void ForEachInBucket(const SweepInputs<T>& in, const uint32_t* table, uint32_t code,
                            Use&& use) {
  const uint32_t* bucket = table + (code - 1);
  for (uint32_t j = 0; j < in.slots; ++j) use(bucket[static_cast<size_t>(j) * in.buckets] - 1);
}

// A neighbour's entry moved by `shift` (one column or one row of B, wrapping in 32 bits), then the
// bucket of the moved position in B. An entry or moved position outside B is skipped with its
// bucket.
template <class T, class Score>
inline void ScoreMovedEntry(const SweepInputs<T>& in, uint32_t entry, uint32_t shift,
                            Score&& score) {
  if (entry >= in.pixels_b) return;
  const uint32_t moved = entry + shift;
  if (moved >= in.pixels_b) return;
  score(moved);
  const uint32_t code = in.codes_b[moved];
  if (IsCode(in, code)) ForEachInBucket(in, in.table_b, code, score);
}

// Steps 1 to 4 for pixel p, h + h*k + 2*k*(1 + h) scorings in order: p's bucket in B, the lists of
// p's bucket-mates in A, then the moved entries of the first and the second neighbour with their
// buckets. `matches` holds the k-lists of every pixel of A.
template <class T, class Score>
inline void ScoreNeighbourhood(const SweepInputs<T>& in, uint32_t k, const uint32_t* matches,
                               uint32_t p, Score&& score) {
  const uint32_t code = in.codes_a[p];
  if (IsCode(in, code)) {
    ForEachInBucket(in, in.table_b, code, score);
    const uint32_t pixels_a = in.rows * in.cols;
    ForEachInBucket(in, in.table_a, code, [&](uint32_t mate) {
      if (mate >= pixels_a) return;
      const uint32_t* list = matches + static_cast<size_t>(mate) * k;
      for (uint32_t s = 0; s < k; ++s) score(list[s]);
    });
  }
  const uint32_t first = in.downward ? p - in.rows : p + in.rows;
  const uint32_t first_shift = in.downward ? in.rows_b : 0u - in.rows_b;
  const uint32_t* first_list = matches + static_cast<size_t>(first) * k;
  for (uint32_t s = 0; s < k; ++s) ScoreMovedEntry(in, first_list[s], first_shift, score);
  const uint32_t second = in.downward ? p - 1 : p + 1;
  const uint32_t second_shift = in.downward ? 1u : 0u - 1u;
  const uint32_t* second_list = matches + static_cast<size_t>(second) * k;
  for (uint32_t s = 0; s < k; ++s) ScoreMovedEntry(in, second_list[s], second_shift, score);
}

}  // namespace gck::kbest
