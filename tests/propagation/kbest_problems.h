#pragma once
// Random k-best problems for the core and deliverable tests, and their view as sweep inputs.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "propagation/sweep_inputs.h"
#include "tests/reference/kbest_reference.h"

namespace gck::testing {

struct KBestLists {
  std::vector<uint32_t> errors, matches;
  bool operator==(const KBestLists& other) const {
    return errors == other.errors && matches == other.matches;
  }
};

struct ProblemShape {
  uint32_t k = 2;
  uint32_t hashes = 1;
  bool self = false;
  bool wide_values = false;  // values over the full element range, so pair sums wrap
  bool hostile = false;      // table slots, codes and list entries outside their images
};

template <class T>
class ProblemMaker {
 public:
  explicit ProblemMaker(unsigned seed) : rng_(seed) {}

  uint32_t Uniform(uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(rng_);
  }
  bool OneIn(uint32_t n) { return Uniform(1, n) == 1; }

  reference::KBestProblem<T> Problem(const ProblemShape& shape) {
    reference::KBestProblem<T> pr;
    pr.rows = Uniform(1, 9);
    pr.cols = Uniform(1, 9);
    pr.rows_b = shape.self ? pr.rows : Uniform(1, 9);
    const uint32_t cols_b = shape.self ? pr.cols : Uniform(1, 9);
    pr.kernels = Uniform(1, 6);
    pr.buckets = 1u << Uniform(0, 3);
    pr.hashes = shape.hashes;
    pr.downward = OneIn(2);
    const uint32_t pixels_a = pr.rows * pr.cols, pixels_b = pr.rows_b * cols_b;
    const uint32_t spread = Uniform(0, 3);
    pr.stack_a = Values(pixels_a * pr.kernels, shape.wide_values, spread);
    pr.stack_b = shape.self ? pr.stack_a : Values(pixels_b * pr.kernels, shape.wide_values, spread);
    pr.codes_a = Codes(pixels_a, pr.buckets, shape.hostile);
    pr.codes_b = shape.self ? pr.codes_a : Codes(pixels_b, pr.buckets, shape.hostile);
    const uint32_t slots = std::max<uint32_t>(shape.hashes, 1) + Uniform(0, 1);
    pr.table_a = Table(pr.buckets * slots, pixels_a, shape.hostile);
    pr.table_b = Table(pr.buckets * slots, pixels_b, shape.hostile);
    return pr;
  }

  // Starting lists into `pixels_b` pixels: errors 0, small, large or 4294967295, with duplicates.
  KBestLists Lists(uint32_t pixels_a, uint32_t pixels_b, uint32_t k, bool hostile) {
    KBestLists lists;
    const size_t count = static_cast<size_t>(pixels_a) * k;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t kind = Uniform(0, 3);
      lists.errors.push_back(kind == 0   ? 0u
                             : kind == 1 ? Uniform(0, 40)
                             : kind == 2 ? Uniform(0, 0xFFFFFFFEu)
                                         : 0xFFFFFFFFu);
      uint32_t match = Uniform(0, pixels_b - 1);
      if (hostile && OneIn(8))
        match = OneIn(2) ? pixels_b + Uniform(0, 3) : 0xFFFFFFFFu - Uniform(0, 3);
      lists.matches.push_back(match);
    }
    return lists;
  }

 private:
  std::vector<T> Values(uint32_t count, bool wide, uint32_t spread) {
    std::vector<T> values(count);
    for (T& v : values) {
      v = wide ? static_cast<T>(rng_())
               : static_cast<T>(Uniform(0, 2 * spread + 1)) - static_cast<T>(spread);
    }
    return values;
  }
  std::vector<uint32_t> Codes(uint32_t count, uint32_t buckets, bool hostile) {
    std::vector<uint32_t> codes(count);
    for (uint32_t& c : codes)
      c = hostile && OneIn(6) ? (OneIn(2) ? 0u : buckets + 1) : Uniform(1, buckets);
    return codes;
  }
  std::vector<uint32_t> Table(uint32_t count, uint32_t pixels, bool hostile) {
    std::vector<uint32_t> table(count);
    for (uint32_t& slot : table)
      slot = hostile && OneIn(6) ? (OneIn(2) ? 0u : pixels + 1) : Uniform(1, pixels);
    return table;
  }

  std::mt19937 rng_;
};

template <class T>
SweepInputs<T> InputsOf(const reference::KBestProblem<T>& pr) {
  SweepInputs<T> in;
  in.stack_a = pr.stack_a.data();
  in.stack_b = pr.stack_b.data();
  in.codes_a = pr.codes_a.data();
  in.codes_b = pr.codes_b.data();
  in.table_a = pr.table_a.data();
  in.table_b = pr.table_b.data();
  in.rows = pr.rows;
  in.cols = pr.cols;
  in.rows_b = pr.rows_b;
  in.pixels_b = static_cast<uint32_t>(pr.codes_b.size());
  in.kernels = pr.kernels;
  in.buckets = pr.buckets;
  in.slots = std::max<uint32_t>(pr.hashes, 1);
  in.downward = pr.downward;
  return in;
}

}  // namespace gck::testing
