#include "projection/gck_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "tests/reference/gck_step_reference.h"

namespace gck {
namespace {

template <class T>
class GckStepTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<int16_t, int32_t>;
TYPED_TEST_SUITE(GckStepTest, ElementTypes);

// Runs the core on buffers that start `misalignment` elements into their allocation, so vector
// loads cannot rely on alignment.
template <class T>
std::vector<int64_t> RunCore(const std::vector<int64_t>& x_values, const reference::GckStepCase& s,
                             int misalignment) {
  std::vector<T> x(x_values.size() + misalignment), y(x_values.size() + misalignment, 0);
  std::transform(x_values.begin(), x_values.end(), x.begin() + misalignment,
                 [](int64_t v) { return static_cast<T>(v); });
  const GckStepParams params{s.width, s.delta, s.alpha_positive, s.horizontal,
                             s.includes_last ? 0 : 1};
  GckStep<T>(x.data() + misalignment, y.data() + misalignment, s.rows, s.cols / s.planes, s.planes,
             params);
  return std::vector<int64_t>(y.begin() + misalignment, y.end());
}

// Full-range values, so that sums wrap in both widths all the time.
template <class T>
std::vector<int64_t> RandomValues(std::mt19937& rng, size_t count) {
  std::uniform_int_distribution<int64_t> value(std::numeric_limits<T>::min(),
                                               std::numeric_limits<T>::max());
  std::vector<int64_t> values(count);
  for (auto& v : values) v = value(rng);
  return values;
}

TYPED_TEST(GckStepTest, MatchesTheDefinitionOnRandomSteps) {
  using T = TypeParam;
  std::mt19937 rng(2024);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 3000; ++trial) {
    reference::GckStepCase s{};
    s.planes = pick(0, 1) ? 3 : 1;
    s.rows = pick(1, 48);
    const int plane_cols = pick(1, 48);
    s.cols = plane_cols * s.planes + (s.planes == 3 ? pick(0, 2) : 0);  // N mod 3 of every kind
    // Widths up to the plane's size and a little past it, where the range is empty.
    s.width = pick(1, std::max(s.rows, plane_cols) / 2 + 2);
    s.delta = pick(1, s.width);
    s.alpha_positive = pick(0, 1);
    s.horizontal = pick(0, 1);
    s.includes_last = pick(0, 1);
    s.bits = 8 * sizeof(T);
    const std::vector<int64_t> x = RandomValues<T>(rng, static_cast<size_t>(s.rows) * s.cols);
    const std::vector<int64_t> expected = reference::GckStep(x, s);
    ASSERT_EQ(RunCore<T>(x, s, trial % 3), expected)
        << s.rows << "x" << s.cols << " planes=" << s.planes << " w=" << s.width
        << " delta=" << s.delta << " positive=" << s.alpha_positive << " horizontal=" << s.horizontal
        << " last=" << s.includes_last;
  }
}

TYPED_TEST(GckStepTest, LongChainsWithEveryShift) {
  // Tall columns and wide rows exercise both the element-by-element and the blocked vertical walk
  // over many blocks, and long horizontal chains.
  using T = TypeParam;
  std::mt19937 rng(99);
  for (int width : {1, 7, 8, 9, 16, 31, 32}) {
    for (int delta = 1; delta <= width; ++delta) {
      for (bool horizontal : {false, true}) {
        const reference::GckStepCase s{horizontal ? 5 : 301, horizontal ? 301 : 5, 1,   width,
                                       delta,     delta % 2 == 1, horizontal, width % 2 == 0,
                                       8 * static_cast<int>(sizeof(T))};
        const std::vector<int64_t> x = RandomValues<T>(rng, static_cast<size_t>(s.rows) * s.cols);
        ASSERT_EQ(RunCore<T>(x, s, delta % 2), reference::GckStep(x, s))
            << "w=" << width << " delta=" << delta << " horizontal=" << horizontal;
      }
    }
  }
}

}  // namespace
}  // namespace gck
