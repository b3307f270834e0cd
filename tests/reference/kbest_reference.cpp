#include "tests/reference/kbest_reference.h"

#include <algorithm>

namespace gck::reference {
namespace {

uint32_t Term(int16_t a, int16_t b) {
  const int64_t d = static_cast<int64_t>(a) - b;
  return static_cast<uint32_t>(d * d);
}

uint32_t Term(int32_t a, int32_t b) {
  const uint64_t d = static_cast<uint32_t>(a) - static_cast<uint32_t>(b);
  return static_cast<uint32_t>((d * d) % 4294967296ull);
}

template <class T>
class Sweep {
 public:
  Sweep(const KBestProblem<T>& problem, uint32_t k, bool self, bool reciprocal,
        std::vector<uint32_t>& errors, std::vector<uint32_t>& matches)
      : pr_(problem), k_(k), self_(self), reciprocal_(reciprocal), e_(errors), m_(matches) {}

  void Run() {
    if (k_ == 0 || pr_.kernels == 0) return;
    const uint32_t M = pr_.rows, N = pr_.cols;
    if (M <= 1 || N <= 1) return;
    if (pr_.downward) {
      for (uint32_t col = 1; col <= N - 1; ++col)
        for (uint32_t row = 1; row <= M - 1; ++row) Visit(row + col * M);
    } else {
      for (int64_t col = N - 2; col >= 0; --col)
        for (int64_t row = M - 2; row >= 0; --row) Visit(static_cast<uint32_t>(row + col * M));
    }
  }

 private:
  uint32_t PixelsOfA() const { return pr_.rows * pr_.cols; }
  uint32_t PixelsOfB() const { return static_cast<uint32_t>(pr_.codes_b.size()); }
  uint32_t Slots() const { return std::max<uint32_t>(pr_.hashes, 1); }
  bool CodeOk(uint32_t code) const { return code >= 1 && code <= pr_.buckets; }
  uint32_t Slot(const std::vector<uint32_t>& table, uint32_t code, uint32_t j) const {
    return table.at((code - 1) + j * pr_.buckets) - 1;
  }

  void Visit(uint32_t p) {
    const uint32_t M = pr_.rows, MB = pr_.rows_b;
    // 1. p's bucket in B.
    const uint32_t code = pr_.codes_a.at(p);
    if (CodeOk(code)) {
      for (uint32_t j = 0; j < Slots(); ++j) Score(p, Slot(pr_.table_b, code, j));
      // 2. Lists of p's bucket-mates in A.
      for (uint32_t j = 0; j < Slots(); ++j) {
        const uint32_t a = Slot(pr_.table_a, code, j);
        if (a >= PixelsOfA()) continue;
        for (uint32_t s = 0; s < k_; ++s) Score(p, m_.at(a * k_ + s));
      }
    }
    // 3, 4. Moved neighbour entries and the buckets at the moved positions.
    const uint32_t nb1 = pr_.downward ? p - M : p + M;
    const uint32_t nb2 = pr_.downward ? p - 1 : p + 1;
    for (uint32_t s = 0; s < k_; ++s) {
      const uint32_t entry = m_.at(nb1 * k_ + s);
      Moved(p, entry, pr_.downward ? entry + MB : entry - MB);
    }
    for (uint32_t s = 0; s < k_; ++s) {
      const uint32_t entry = m_.at(nb2 * k_ + s);
      Moved(p, entry, pr_.downward ? entry + 1 : entry - 1);
    }
    if (!self_) return;
    // 5. Neighbours of neighbours.
    for (uint32_t s = 0; s < k_; ++s) {
      const uint32_t q = m_.at(p * k_ + s);
      if (q == p || q >= PixelsOfA()) continue;
      for (uint32_t t = 0; t < k_; ++t) {
        const uint32_t r = m_.at(q * k_ + t);
        if (r != p) Score(p, r);
      }
    }
  }

  void Moved(uint32_t p, uint32_t entry, uint32_t c) {
    if (entry >= PixelsOfB() || c >= PixelsOfB()) return;
    Score(p, c);
    const uint32_t code = pr_.codes_b.at(c);
    if (!CodeOk(code)) return;
    for (uint32_t j = 0; j < Slots(); ++j) Score(p, Slot(pr_.table_b, code, j));
  }

  // Worst slot and budget, scanned exactly as described (slot 0 for a one-entry list).
  void Worst(uint32_t base, uint32_t* w, uint32_t* budget) const {
    uint32_t running = 0, slot = (k_ == 1) ? 0 : 1;
    for (uint32_t s = 0; s < k_; ++s) {
      if (e_.at(base + s) > running) {
        running = e_.at(base + s);
        slot = s;
      }
    }
    *w = slot;
    *budget = running;
  }

  bool InList(uint32_t base, uint32_t value) const {
    for (uint32_t s = 0; s < k_; ++s)
      if (m_.at(base + s) == value) return true;
    return false;
  }

  void Put(uint32_t base, uint32_t w, uint32_t d, uint32_t value) {
    e_.at(base + w) = e_.at(base);
    m_.at(base + w) = m_.at(base);
    e_.at(base) = d;
    m_.at(base) = value;
  }

  void Score(uint32_t p, uint32_t q) {
    if (q >= PixelsOfB()) return;
    const uint32_t base = p * k_;
    if (InList(base, q)) return;
    uint32_t w, budget;
    Worst(base, &w, &budget);
    // Bounded test: term 0, pairs (summed modulo 2^32), the last term of an even K.
    const uint32_t K = pr_.kernels;
    auto t = [&](uint32_t i) { return Term(pr_.stack_a.at(p * K + i), pr_.stack_b.at(q * K + i)); };
    uint32_t b = budget;
    if (t(0) > b) return;
    b -= t(0);
    uint32_t i = 1;
    for (; i + 1 <= K - 1; i += 2) {
      const uint32_t pair = t(i) + t(i + 1);
      if (pair > b) return;
      b -= pair;
    }
    if (K % 2 == 0) {
      if (t(K - 1) > b) return;
      b -= t(K - 1);
    }
    const uint32_t d = budget - b;
    Put(base, w, d, q);
    if (!reciprocal_) return;
    const bool zone = p >= pr_.rows && p % pr_.rows >= 2 && p <= (pr_.cols - 1) * pr_.rows;
    if (!zone || q >= PixelsOfA()) return;
    const uint32_t bq = q * k_;
    if (InList(bq, p)) return;
    Worst(bq, &w, &budget);
    if (d > budget) return;
    Put(bq, w, d, p);
  }

  const KBestProblem<T>& pr_;
  uint32_t k_;
  bool self_, reciprocal_;
  std::vector<uint32_t>& e_;
  std::vector<uint32_t>& m_;
};

}  // namespace

template <class T>
void KBestSweepReference(const KBestProblem<T>& problem, uint32_t k, std::vector<uint32_t>& errors,
                         std::vector<uint32_t>& matches) {
  Sweep<T>(problem, k, false, false, errors, matches).Run();
}

template <class T>
void KBestSelfSweepReference(const KBestProblem<T>& problem, uint32_t k, bool reciprocal,
                             std::vector<uint32_t>& errors, std::vector<uint32_t>& matches) {
  Sweep<T>(problem, k, true, reciprocal, errors, matches).Run();
}

template void KBestSweepReference(const KBestProblem<int16_t>&, uint32_t, std::vector<uint32_t>&,
                                  std::vector<uint32_t>&);
template void KBestSweepReference(const KBestProblem<int32_t>&, uint32_t, std::vector<uint32_t>&,
                                  std::vector<uint32_t>&);
template void KBestSelfSweepReference(const KBestProblem<int16_t>&, uint32_t, bool,
                                      std::vector<uint32_t>&, std::vector<uint32_t>&);
template void KBestSelfSweepReference(const KBestProblem<int32_t>&, uint32_t, bool,
                                      std::vector<uint32_t>&, std::vector<uint32_t>&);

}  // namespace gck::reference
