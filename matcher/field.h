#pragma once
// A nearest-neighbour field: for every anchor of A (a pixel whose patch fits), its k best matches.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gck {

struct Field {
  int32_t rows = 0;      // anchors of A: image rows - width + 1
  int32_t cols = 0;      // image columns - width + 1
  int32_t k = 0;         // matches per anchor
  int32_t width = 0;     // patch side
  int32_t channels = 0;  // channels the errors were summed over
  // Entry s of anchor p = r + c * rows at p * k + s, best first: the 0-based row and column of the
  // matched anchor in B and the patch error, the root of the sum of squared differences over the
  // width x width x channels patch.
  std::vector<int32_t> match_rows;
  std::vector<int32_t> match_cols;
  std::vector<float> errors;

  size_t anchors() const { return static_cast<size_t>(rows) * cols; }
  // The mean, over the anchors' best matches, of the root-mean-square pixel difference.
  double MeanRmsError() const;
};

}  // namespace gck
