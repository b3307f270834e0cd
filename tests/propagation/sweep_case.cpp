#include "tests/propagation/sweep_case.h"

#include <algorithm>
#include <limits>

namespace gck::testing {
namespace {

bool Chance(std::mt19937& rng, double rate) {
  return std::uniform_real_distribution<double>(0, 1)(rng) < rate;
}

uint32_t Uniform(std::mt19937& rng, uint32_t low, uint32_t high) {
  return std::uniform_int_distribution<uint32_t>(low, high)(rng);
}

int64_t RandomValue(std::mt19937& rng, const CaseShape& shape) {
  if (!shape.extremes) return static_cast<int64_t>(Uniform(rng, 0, 12)) - 6;
  const int64_t low = shape.wide ? std::numeric_limits<int32_t>::min() : -32768;
  const int64_t high = shape.wide ? std::numeric_limits<int32_t>::max() : 32767;
  switch (Uniform(rng, 0, 4)) {
    case 0:
      return low;
    case 1:
      return high;
    case 2:
      return shape.wide ? 65536 * static_cast<int64_t>(Uniform(rng, 0, 4)) : 0;
    default:
      return std::uniform_int_distribution<int64_t>(low, high)(rng);
  }
}

std::vector<uint32_t> RandomCodes(std::mt19937& rng, size_t count, uint32_t buckets,
                                  double bad_rate) {
  std::vector<uint32_t> codes(count);
  for (auto& code : codes)
    code = Chance(rng, bad_rate) ? Uniform(rng, 0, 1) * (buckets + 1) : Uniform(rng, 1, buckets);
  return codes;
}

std::vector<uint32_t> RandomTable(std::mt19937& rng, uint32_t buckets, uint32_t columns,
                                  uint32_t pixels, double bad_rate) {
  std::vector<uint32_t> table(static_cast<size_t>(buckets) * columns);
  for (auto& slot : table) {
    slot = Chance(rng, bad_rate) ? (Uniform(rng, 0, 1) ? 0 : pixels + Uniform(rng, 1, 3))
                                 : Uniform(rng, 1, pixels);
  }
  return table;
}

}  // namespace

reference::SweepCase RandomCase(std::mt19937& rng, const CaseShape& shape) {
  reference::SweepCase c;
  c.rows = Uniform(rng, 1, 9);
  c.cols = Uniform(rng, 1, 9);
  c.rows_b = Uniform(rng, 1, 9);
  const uint32_t cols_b = Uniform(rng, 1, 9);
  c.kernels = shape.kernels;
  c.buckets = 1u << Uniform(rng, 0, 3);
  c.hash_slots = shape.hash_slots;
  c.wide = shape.wide;
  c.downward = Uniform(rng, 0, 1) == 1;
  const uint32_t pixels_a = c.rows * c.cols, pixels_b = c.rows_b * cols_b;
  c.stack_a.resize(static_cast<size_t>(pixels_a) * c.kernels);
  c.stack_b.resize(static_cast<size_t>(pixels_b) * c.kernels);
  for (auto& v : c.stack_a) v = RandomValue(rng, shape);
  for (auto& v : c.stack_b) v = RandomValue(rng, shape);
  c.codes_a = RandomCodes(rng, pixels_a, c.buckets, shape.bad_rate);
  c.codes_b = RandomCodes(rng, pixels_b, c.buckets, shape.bad_rate);
  // A spare column beyond the slots read, as real tables have.
  const uint32_t columns = std::max(shape.hash_slots, 1u) + Uniform(rng, 0, 1);
  c.table_a = RandomTable(rng, c.buckets, columns, pixels_a, shape.bad_rate);
  c.table_b = RandomTable(rng, c.buckets, columns, pixels_b, shape.bad_rate);
  return c;
}

std::vector<uint32_t> RandomErrors(std::mt19937& rng, size_t count) {
  std::vector<uint32_t> errors(count);
  for (auto& e : errors) {
    switch (Uniform(rng, 0, 5)) {
      case 0:
      case 1:
        e = 4294967295u;
        break;
      case 2:
        e = 0;
        break;
      case 3:
        e = rng();
        break;
      default:
        e = Uniform(rng, 0, 300);
    }
  }
  return errors;
}

std::vector<uint32_t> RandomMatches(std::mt19937& rng, size_t count, uint32_t pixels_b,
                                    double bad_rate) {
  std::vector<uint32_t> matches(count);
  for (auto& m : matches)
    m = Chance(rng, bad_rate) || pixels_b == 0 ? rng() : Uniform(rng, 0, pixels_b - 1);
  return matches;
}

uint32_t PixelsOfB(const reference::SweepCase& c) {
  if (c.kernels == 0) return 0;
  return static_cast<uint32_t>(std::min<size_t>(c.stack_b.size() / c.kernels, c.codes_b.size()));
}

template <class T>
TypedCase<T>::TypedCase(const reference::SweepCase& c)
    : stack_a(c.stack_a.begin(), c.stack_a.end()), stack_b(c.stack_b.begin(), c.stack_b.end()) {
  inputs.stack_a = stack_a.data();
  inputs.stack_b = stack_b.data();
  inputs.codes_a = c.codes_a.data();
  inputs.codes_b = c.codes_b.data();
  inputs.table_a = c.table_a.data();
  inputs.table_b = c.table_b.data();
  inputs.rows = c.rows;
  inputs.cols = c.cols;
  inputs.rows_b = c.rows_b;
  inputs.pixels_b = PixelsOfB(c);
  inputs.kernels = c.kernels;
  inputs.buckets = c.buckets;
  inputs.slots = std::max(c.hash_slots, 1u);
  inputs.downward = c.downward;
}

template struct TypedCase<int16_t>;
template struct TypedCase<int32_t>;

}  // namespace gck::testing
