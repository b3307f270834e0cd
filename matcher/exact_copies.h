#pragma once
// Exact copies among patches: every patch hashed, and the anchors of B whose hash some anchor of A
// shares kept in a table by that hash, so that an anchor of A meets the anchors of B whose patches
// may equal its own at a fixed cost, however far apart they lie. Propagation finds most copies;
// the table finds the ones no neighbour leads to.

#include <xmmintrin.h>

#include <cstdint>
#include <vector>

#include "matcher/patch_search.h"
#include "matcher/uninitialized.h"

namespace gck {

// The hash of every anchor's patch (anchor p = r + c * rows at p): equal patches have equal hashes.
UninitializedVector<uint64_t> PatchHashes(const PatchGrid& grid);

// The anchors of B (as r + c * rows) that may be copies of anchors of A, grouped by hash; within
// one image (`self`, b = a), the anchors whose hash occurs more than once. Each group is chained
// from its last anchor in index order, so the table is the same for any thread count.
class CopyTable {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  CopyTable(const PatchGrid& a, const PatchGrid& b, bool self);

  // The last anchor of B whose patch hashes as that of anchor p of A does, kNone when none does.
  uint32_t First(uint32_t p) const {
    const uint64_t hash = hashes_a_[p];
    if (!Marked(in_table_, hash)) return kNone;
    for (uint32_t s = uint32_t(hash >> shift_);; s = (s + 1) & mask_) {
      const uint64_t slot = slots_[s];
      if (uint32_t(slot) == kNone || uint32_t(slot >> 32) == uint32_t(hash)) return uint32_t(slot);
    }
  }
  // Asks for the slot of anchor p of A from memory: lookups a few anchors ahead overlap.
  void Prefetch(uint32_t p) const {
    _mm_prefetch(reinterpret_cast<const char*>(&slots_[hashes_a_[p] >> shift_]), _MM_HINT_T0);
  }
  // The anchor before q with the same hash, kNone at the group's end.
  uint32_t Next(uint32_t q) const { return next_[q]; }

 private:
  // One bit per hash value's low bits: a set of hashes that may hold false members.
  using HashSet = std::vector<uint64_t>;
  bool Marked(const HashSet& set, uint64_t hash) const {
    const uint64_t bit = hash & set_mask_;
    return (set[bit >> 6] >> (bit & 63)) & 1;
  }

  uint64_t set_mask_ = 0;
  UninitializedVector<uint64_t> hashes_a_;
  HashSet in_table_;  // the hashes of the anchors of B in the table
  int32_t shift_ = 0;
  uint32_t mask_ = 0;
  // Per slot, the low half of its hash (the high half chose the slot) and its group's last anchor.
  UninitializedVector<uint64_t> slots_;
  UninitializedVector<uint32_t> next_;  // per anchor of B
};

}  // namespace gck
