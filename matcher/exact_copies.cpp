#include "matcher/exact_copies.h"

#include <algorithm>
#include <cstring>

#include "matcher/thread_team.h"

namespace gck {
namespace {

constexpr uint64_t kP = 0x100000001B3ull;
constexpr uint64_t kM = 0x9E3779B97F4A7C15ull;
// Anchor columns per share of the hashing.
constexpr int32_t kStrip = 64;

uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A hash of `bytes` bytes, 8 at a time.
uint64_t RunHash(const uint8_t* x, int32_t bytes) {
  uint64_t h = 0;
  int32_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    uint64_t word;
    std::memcpy(&word, x + i, 8);
    h = (h + word) * kP;
  }
  if (i < bytes) {
    uint64_t word = 0;
    std::memcpy(&word, x + i, size_t(bytes - i));
    h = (h + word) * kP;
  }
  return h;
}

}  // namespace

UninitializedVector<uint64_t> PatchHashes(const PatchGrid& grid) {
  // Each patch column's run hashes once; a patch's hash is sum h_j M^(w-1-j) over its columns' h_j
  // (modulo 2^64), slid along a row one column at a time, then mixed.
  const int32_t w = grid.width, bytes = w * grid.image->channels;
  uint64_t top = 1;  // M^(w-1)
  for (int32_t j = 1; j < w; ++j) top *= kM;
  UninitializedVector<uint64_t> out(grid.anchors());
  const int32_t strips = (grid.cols + kStrip - 1) / kStrip;
  ParallelFor(0, strips, 1, [&](int64_t strip) {
    const int32_t first = int32_t(strip) * kStrip, last = std::min(first + kStrip, grid.cols);
    const size_t rows = size_t(grid.rows);
    // The runs' hashes of the w image columns under the current anchor column, a ring.
    std::vector<uint64_t> runs(rows * w), sliding(rows, 0);
    const auto hash_column = [&](int32_t c, uint64_t* into) {
      for (size_t r = 0; r < rows; ++r) into[r] = RunHash(grid.image->at(int32_t(r), c), bytes);
    };
    for (int32_t j = 0; j < w; ++j) {
      uint64_t* run = &runs[size_t(j) * rows];
      hash_column(first + j, run);
      for (size_t r = 0; r < rows; ++r) sliding[r] = sliding[r] * kM + run[r];
    }
    for (int32_t c = first; c < last; ++c) {
      if (c > first) {
        // Column c - 1 leaves the patches, column c + w - 1 enters, in the leaver's ring place.
        uint64_t* run = &runs[size_t((c - 1 - first) % w) * rows];
        for (size_t r = 0; r < rows; ++r) sliding[r] -= run[r] * top;
        hash_column(c + w - 1, run);
        for (size_t r = 0; r < rows; ++r) sliding[r] = sliding[r] * kM + run[r];
      }
      uint64_t* to = &out[size_t(c) * rows];
      for (size_t r = 0; r < rows; ++r) to[r] = Mix(sliding[r]);
    }
  });
  return out;
}

CopyTable::CopyTable(const PatchGrid& a, const PatchGrid& b, bool self) {
  hashes_a_ = PatchHashes(a);
  const UninitializedVector<uint64_t> own_b = self ? UninitializedVector<uint64_t>() : PatchHashes(b);
  const uint64_t* hashes_b = self ? hashes_a_.data() : own_b.data();
  const uint32_t anchors_a = a.anchors(), anchors_b = b.anchors();
  // Sets of 8 bits per anchor of A: a hash not in A's set is in it by chance one time in 8 or
  // fewer, so few of B's anchors enter the table where the images share no patches.
  int32_t set_bits = 6;
  while ((uint64_t{1} << set_bits) < uint64_t(anchors_a) * 8) ++set_bits;
  set_mask_ = (uint64_t{1} << set_bits) - 1;
  const size_t words = size_t(1) << (set_bits - 6);
  // Marking is an atomic OR, whose result does not depend on the order.
  const auto mark = [&](HashSet* set, const uint64_t* hashes, uint32_t count, HashSet* twice) {
    set->assign(words, 0);
    if (twice) twice->assign(words, 0);
    ParallelFor(0, count, 0, [&](int64_t p) {
      const uint64_t bit = hashes[p] & set_mask_, one = uint64_t{1} << (bit & 63);
      const uint64_t before = __atomic_fetch_or(&(*set)[bit >> 6], one, __ATOMIC_RELAXED);
      if (twice && (before & one)) __atomic_fetch_or(&(*twice)[bit >> 6], one, __ATOMIC_RELAXED);
    });
  };
  HashSet in_a, twice;
  // Within one image, an anchor has a copy only where its hash occurs twice.
  mark(&in_a, hashes_a_.data(), anchors_a, self ? &twice : nullptr);
  const HashSet& wanted = self ? twice : in_a;
  std::vector<uint32_t> members;
  for (uint32_t q = 0; q < anchors_b; ++q)
    if (Marked(wanted, hashes_b[q])) members.push_back(q);
  in_table_.assign(words, 0);
  for (uint32_t q : members) {
    const uint64_t bit = hashes_b[q] & set_mask_;
    in_table_[bit >> 6] |= uint64_t{1} << (bit & 63);
  }
  // At least 1.5 slots per member: probes stay short.
  int32_t bits = 1;
  while ((uint64_t{1} << bits) < uint64_t(members.size()) * 3 / 2 + 1) ++bits;
  shift_ = 64 - bits;
  mask_ = uint32_t((uint64_t{1} << bits) - 1);
  next_.resize(anchors_b);
  slots_.assign(size_t(mask_) + 1, kNone);
  // In index order, so each group's chain runs the same way for any thread count.
  for (uint32_t q : members) {
    const uint64_t hash = hashes_b[q];
    uint32_t s = uint32_t(hash >> shift_);
    while (uint32_t(slots_[s]) != kNone && uint32_t(slots_[s] >> 32) != uint32_t(hash))
      s = (s + 1) & mask_;
    next_[q] = uint32_t(slots_[s]);
    slots_[s] = (hash << 32) | q;
  }
}

}  // namespace gck
