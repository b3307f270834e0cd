#pragma once
// The GCK step by its definition: every position of the computed range in the stated order, each
// value formed exactly and then reduced to the element width.

#include <cstdint>
#include <vector>

namespace gck::reference {

struct GckStepCase {
  int rows;
  int cols;     // all columns of the matrix, including any past the last plane
  int planes;   // 3: plane width cols / 3; 1: the whole matrix
  int width;
  int delta;
  bool alpha_positive;
  bool horizontal;
  bool includes_last;  // whether d - width itself is computed along the movement
  int bits;            // 16 or 32
};

// x holds rows x cols values of the element type; returns y, zero wherever nothing is computed.
std::vector<int64_t> GckStep(const std::vector<int64_t>& x, const GckStepCase& step);

// v reduced modulo 2^bits into the two's-complement range.
int64_t Wrap(int64_t v, int bits);

}  // namespace gck::reference
