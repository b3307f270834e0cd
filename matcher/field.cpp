#include "matcher/field.h"

#include <cmath>

namespace gck {

double Field::MeanRmsError() const {
  if (anchors() == 0) return 0;
  double sum = 0;
  for (size_t p = 0; p < anchors(); ++p) sum += errors[p * k];
  return sum / static_cast<double>(anchors()) / std::sqrt(double(width) * width * channels);
}

}  // namespace gck
