#include "tests/reference/single_best_sweep_reference.h"

#include <algorithm>

namespace gck::reference {
namespace {

constexpr uint64_t kWord = uint64_t{1} << 32;

class Sweep {
 public:
  Sweep(const SweepCase& c, std::vector<uint32_t>& errors, std::vector<uint32_t>& matches,
        SweepCounts* counts)
      : c_(c), E_(errors), Map_(matches), counts_(counts) {
    const uint64_t stack_pixels = c.kernels == 0 ? 0 : c.stack_b.size() / c.kernels;
    pixels_b_ = std::min<uint64_t>(stack_pixels, c.codes_b.size());
  }

  void Run() {
    if (c_.kernels == 0) return;
    const int64_t M = c_.rows, N = c_.cols;
    if (c_.downward) {
      for (int64_t col = 1; col <= N - 1; ++col)
        for (int64_t row = 1; row <= M - 1; ++row) Visit(row + col * M);
    } else {
      for (int64_t col = N - 2; col >= 0; --col)
        for (int64_t row = M - 2; row >= 0; --row) Visit(row + col * M);
    }
  }

 private:
  void Visit(int64_t p) {
    const uint64_t M = c_.rows, MB = c_.rows_b;
    uint64_t s, u;
    if (c_.downward) {
      s = (Map_[p - M] + MB) % kWord;
      u = (Map_[p - 1] + uint64_t{1}) % kWord;
    } else {
      s = (Map_[p + M] + kWord - MB) % kWord;
      u = (Map_[p + 1] + kWord - 1) % kWord;
    }
    // 1. p's bucket in B.
    for (uint64_t q : Bucket(c_.table_b, c_.codes_a[p], pixels_b_)) Score(p, q);
    // 2. The current matches of p's bucket-mates in A.
    for (uint64_t a : Bucket(c_.table_a, c_.codes_a[p], uint64_t{c_.rows} * c_.cols))
      Score(p, Map_[a]);
    // 3. and 4. The moved neighbour matches and the buckets of their codes in B.
    for (uint64_t moved : {s, u}) {
      if (moved >= pixels_b_) continue;
      Score(p, moved);
      for (uint64_t q : Bucket(c_.table_b, c_.codes_b[moved], pixels_b_)) Score(p, q);
    }
  }

  // Slot values minus one of code `code`, slots 0 .. max(H, 1) - 1, keeping those below `limit`.
  std::vector<uint64_t> Bucket(const std::vector<uint32_t>& table, uint64_t code,
                               uint64_t limit) const {
    std::vector<uint64_t> pixels;
    if (code < 1 || code > c_.buckets) return pixels;
    const uint64_t h = std::max<uint64_t>(c_.hash_slots, 1);
    for (uint64_t j = 0; j < h; ++j) {
      const uint64_t value = table[(code - 1) + j * c_.buckets];
      if (value >= 1 && value - 1 < limit) pixels.push_back(value - 1);
    }
    return pixels;
  }

  uint64_t Term(int64_t p, uint64_t q, uint64_t k) const {
    const int64_t d = c_.stack_a[p * c_.kernels + k] - c_.stack_b[q * c_.kernels + k];
    if (!c_.wide) return static_cast<uint64_t>(d * d);  // int16: exact, below 2^32
    const uint64_t wrapped = static_cast<uint64_t>(d) % kWord;
    return wrapped * wrapped % kWord;
  }

  void Score(int64_t p, uint64_t q) {
    if (q >= pixels_b_) return;
    if (Map_[p] == q) return;
    if (counts_) ++counts_->scored;
    const uint64_t K = c_.kernels;
    uint64_t budget = E_[p];
    uint64_t rows_read = 1;
    bool accepted = Take(Term(p, q, 0), budget);
    uint64_t k = 1;
    for (; accepted && k + 1 <= K - 1; k += 2) {
      rows_read = k + 2;
      accepted = Take((Term(p, q, k) + Term(p, q, k + 1)) % kWord, budget);
    }
    if (accepted && K % 2 == 0) {
      rows_read = K;
      accepted = Take(Term(p, q, K - 1), budget);
    }
    if (!accepted) {
      if (counts_) {
        ++counts_->rejected;
        counts_->rejected_rows += rows_read;
      }
      return;
    }
    E_[p] = static_cast<uint32_t>(E_[p] - budget);
    Map_[p] = static_cast<uint32_t>(q);
  }

  static bool Take(uint64_t amount, uint64_t& budget) {
    if (amount > budget) return false;
    budget -= amount;
    return true;
  }

  const SweepCase& c_;
  std::vector<uint32_t>& E_;
  std::vector<uint32_t>& Map_;
  SweepCounts* counts_;
  uint64_t pixels_b_ = 0;
};

}  // namespace

void SingleBestSweep(const SweepCase& c, std::vector<uint32_t>& errors,
                     std::vector<uint32_t>& matches, SweepCounts* counts) {
  Sweep(c, errors, matches, counts).Run();
}

}  // namespace gck::reference
