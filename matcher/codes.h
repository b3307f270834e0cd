#pragma once
// One code per anchor: the bin codes of a few leading projections, combined and hashed into
// 1..2^bits, with bin boundaries that move between iterations.

#include <cstdint>
#include <vector>

#include "matcher/projections.h"

namespace gck {

struct CodeBook {
  int32_t bits = 16;                // codes run 1..2^bits
  std::vector<int32_t> planes;      // projection planes that are binned
  std::vector<int32_t> bin_widths;  // one per binned plane, >= 1
};

// Bins of width `scale` times the spread of each of the first `binned` planes, measured over both
// images, so the codebook adapts to the contrast of the pair.
CodeBook MakeCodeBook(const Projections& a, const Projections& b, int32_t binned, double scale,
                      int32_t bits);

// The lookup table of one binned plane: entry x + kProjectionLimit is the bin of value x, with
// every boundary shifted by `shift` (0 <= shift < width).
std::vector<uint32_t> BinTable(int32_t width, int32_t shift);

// codes: one per anchor of p, each in 1..2^book.bits. `phase` in [0, 1) shifts every bin boundary
// by that fraction of its bin, so anchors split by a boundary in one iteration meet in another.
void ComputeCodes(const Projections& p, const CodeBook& book, double phase,
                  std::vector<uint32_t>* codes);

}  // namespace gck
