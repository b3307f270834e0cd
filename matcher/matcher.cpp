#include "matcher/matcher.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <string>
#include <vector>

#include "error/patch_error.h"
#include "hashing/hash_table.h"
#include "matcher/codes.h"
#include "matcher/kernel_chain.h"
#include "matcher/projections.h"
#include "matcher/refine.h"
#include "matcher/split_mix.h"
#include "propagation/bounded_distance.h"
#include "propagation/kbest_self_sweep.h"
#include "propagation/kbest_sweep.h"
#include "propagation/single_best_sweep.h"

namespace gck {
namespace {

constexpr uint32_t kNoDistance = std::numeric_limits<uint32_t>::max();

uint32_t Distance(const Projections& a, uint32_t p, const Projections& b, uint32_t q) {
  uint32_t d = kNoDistance;
  const uint32_t values = static_cast<uint32_t>(a.values);
  if (!WithinBudget(&a.stack[size_t(p) * values], &b.stack[size_t(q) * values], values, kNoDistance,
                    &d))
    return kNoDistance;
  return d;
}

// The state the sweeps rewrite: `length` entries per anchor of A, entry s of p at p * length + s.
struct Lists {
  uint32_t length;
  std::vector<uint32_t> errors;
  std::vector<uint32_t> matches;
};

Lists RandomStart(const Projections& a, const Projections& b, uint32_t length, bool self,
                  uint64_t seed) {
  SplitMix64 random(seed);
  const uint32_t pixels_a = static_cast<uint32_t>(a.rows * a.cols);
  const uint32_t pixels_b = static_cast<uint32_t>(b.rows * b.cols);
  Lists lists{length, std::vector<uint32_t>(size_t(pixels_a) * length),
              std::vector<uint32_t>(size_t(pixels_a) * length)};
  for (uint32_t p = 0; p < pixels_a; ++p) {
    uint32_t* list = &lists.matches[size_t(p) * length];
    for (uint32_t s = 0; s < length; ++s) {
      // Distinct entries, other than p itself within one image; B has enough anchors for them.
      uint32_t q = random.Below(pixels_b);
      while ((self && q == p) || std::find(list, list + s, q) != list + s) q = (q + 1) % pixels_b;
      list[s] = q;
      lists.errors[size_t(p) * length + s] = Distance(a, p, b, q);
    }
  }
  return lists;
}

// Exact patch errors of every list entry, through the patch-error core on the whole images.
std::vector<float> ExactErrors(const Image& a, const Image& b, int32_t width, const Projections& pb,
                               const Lists& lists, int32_t anchor_rows, int32_t anchor_cols) {
  const size_t plane = a.plane();
  std::vector<uint16_t> row_map(plane, 1), col_map(plane, 1);
  std::vector<float> out(plane);
  std::vector<float> errors(lists.matches.size());
  const PatchImage image_a{a.pixels.data(), a.rows, a.cols};
  const PatchImage image_b{b.pixels.data(), b.rows, b.cols};
  for (uint32_t s = 0; s < lists.length; ++s) {
    for (int32_t c = 0; c < anchor_cols; ++c) {
      for (int32_t r = 0; r < anchor_rows; ++r) {
        const uint32_t q = lists.matches[(size_t(r) + size_t(c) * anchor_rows) * lists.length + s];
        row_map[r + size_t(c) * a.rows] = static_cast<uint16_t>(q % pb.rows + 1);
        col_map[r + size_t(c) * a.rows] = static_cast<uint16_t>(q / pb.rows + 1);
      }
    }
    PatchErrorImage(image_a, image_b, a.channels, row_map.data(), col_map.data(), 0, width - 1,
                    width, out.data());
    for (int32_t c = 0; c < anchor_cols; ++c)
      for (int32_t r = 0; r < anchor_rows; ++r)
        errors[(size_t(r) + size_t(c) * anchor_rows) * lists.length + s] =
            out[r + size_t(c) * a.rows];
  }
  return errors;
}

// The k entries of each list with the smallest exact errors, without repeats and (within one image)
// without the anchor itself, best first.
Field BestOfLists(const Lists& lists, const std::vector<float>& errors, const Projections& pa,
                  const Projections& pb, const MatchOptions& options, int32_t channels, bool self) {
  Field field;
  field.rows = pa.rows;
  field.cols = pa.cols;
  field.k = options.k;
  field.width = options.width;
  field.channels = channels;
  const size_t entries = field.anchors() * options.k;
  field.match_rows.resize(entries);
  field.match_cols.resize(entries);
  field.errors.resize(entries);
  std::vector<uint32_t> order(lists.length);
  for (size_t p = 0; p < field.anchors(); ++p) {
    const uint32_t* matches = &lists.matches[p * lists.length];
    const float* error = &errors[p * lists.length];
    for (uint32_t s = 0; s < lists.length; ++s) order[s] = s;
    // Lists are short: an insertion sort, stable, allocates nothing.
    for (uint32_t s = 1; s < lists.length; ++s) {
      for (uint32_t t = s; t > 0 && error[order[t]] < error[order[t - 1]]; --t) {
        std::swap(order[t], order[t - 1]);
      }
    }
    int32_t taken = 0;
    for (uint32_t s : order) {
      const uint32_t q = matches[s];
      if (self && q == p) continue;
      bool repeat = false;
      for (int32_t t = 0; t < taken; ++t)
        repeat |= static_cast<uint32_t>(field.match_rows[p * options.k + t] +
                                        field.match_cols[p * options.k + t] * pb.rows) == q;
      if (repeat) continue;
      field.match_rows[p * options.k + taken] = static_cast<int32_t>(q % pb.rows);
      field.match_cols[p * options.k + taken] = static_cast<int32_t>(q / pb.rows);
      field.errors[p * options.k + taken] = error[s];
      if (++taken == options.k) break;
    }
    // The random start gives every list k distinct entries, so the pool always holds k.
    assert(taken == options.k);
  }
  return field;
}

// Per anchor, the entries of `first` followed by those of `second`.
Lists Joined(const Lists& first, const Lists& second) {
  const uint32_t length = first.length + second.length;
  const size_t anchors = first.matches.size() / first.length;
  Lists joined{length, std::vector<uint32_t>(anchors * length),
               std::vector<uint32_t>(anchors * length)};
  for (size_t p = 0; p < anchors; ++p) {
    std::copy_n(&first.matches[p * first.length], first.length, &joined.matches[p * length]);
    std::copy_n(&second.matches[p * second.length], second.length,
                &joined.matches[p * length + first.length]);
  }
  return joined;
}

Field Run(const Image& a_in, const Image& b_in, const MatchOptions& options, bool self,
          Field* start_field) {
  CheckMatchable(a_in, b_in, options, self);
  const int32_t channels = std::max(a_in.channels, b_in.channels);
  const Image a = WithChannels(a_in, channels);
  const Image b = self ? a : WithChannels(b_in, channels);
  const int32_t side = KernelSide(options.width);
  const int32_t kernels = std::min(options.kernels, side * side);
  const KernelChain chain = SequencyChain(side, kernels, 1);
  const Projections pa = Project(a, options.width, chain, options.binned);
  const Projections pb = self ? pa : Project(b, options.width, chain, options.binned);
  if (options.progress) options.progress(0, options.sweeps);

  const CodeBook book = MakeCodeBook(pa, pb, options.binned, options.bin_scale, options.bits);
  // Within one image the anchor itself enters its own list at distance 0; one more entry keeps k
  // others. Lists start with distinct entries, so none is longer than B has anchors to fill it.
  const uint32_t length =
      static_cast<uint32_t>(std::min<uint64_t>(std::max(options.k, options.keep) + (self ? 1 : 0),
                                               uint64_t(pb.rows) * pb.cols - (self ? 1 : 0)));
  const Lists start = RandomStart(pa, pb, length, self, options.seed);
  Lists lists = start;

  const uint32_t buckets = uint32_t{1} << options.bits;
  const SlotPolicy policy = SlotPolicy::TwoFixed();
  std::vector<uint32_t> codes_a, codes_b;
  std::vector<uint32_t> table_a(size_t(buckets) * policy.slots()), table_b(table_a.size());
  std::vector<uint8_t> slot_counter(buckets);
  SplitMix64 phases(options.seed ^ 0x5DEECE66Dull);
  for (int32_t sweep = 0; sweep < options.sweeps; ++sweep) {
    const double phase = static_cast<double>(phases.Below(1u << 20)) / (1u << 20);
    ComputeCodes(pa, book, phase, &codes_a);
    if (!self) ComputeCodes(pb, book, phase, &codes_b);
    const std::vector<uint32_t>& codes_of_b = self ? codes_a : codes_b;
    // Empty slots hold 0, which the sweeps skip; a bucket nobody filed stays empty.
    std::fill(table_a.begin(), table_a.end(), 0u);
    FillHashTable(table_a.data(), codes_a.data(), options.bits, pa.rows, pa.cols, 0, policy,
                  slot_counter.data());
    if (!self) {
      std::fill(table_b.begin(), table_b.end(), 0u);
      FillHashTable(table_b.data(), codes_b.data(), options.bits, pb.rows, pb.cols, 0, policy,
                    slot_counter.data());
    }
    SweepInputs<int16_t> in;
    in.stack_a = pa.stack.data();
    in.stack_b = pb.stack.data();
    in.codes_a = codes_a.data();
    in.codes_b = codes_of_b.data();
    in.table_a = table_a.data();
    in.table_b = self ? table_a.data() : table_b.data();
    in.rows = static_cast<uint32_t>(pa.rows);
    in.cols = static_cast<uint32_t>(pa.cols);
    in.rows_b = static_cast<uint32_t>(pb.rows);
    in.pixels_b = static_cast<uint32_t>(pb.rows * pb.cols);
    in.kernels = static_cast<uint32_t>(pa.values);
    in.buckets = buckets;
    in.slots = static_cast<uint32_t>(policy.slots());
    in.downward = sweep % 2 == 0;
    if (self) {
      KBestSelfSweep(in, length, options.reciprocal, lists.errors.data(), lists.matches.data());
    } else if (length == 1) {
      SingleBestSweep(in, lists.errors.data(), lists.matches.data());
    } else {
      KBestSweep(in, length, lists.errors.data(), lists.matches.data());
    }
    if (options.progress) options.progress(sweep + 1, options.sweeps);
  }
  // The starting entries join the final pick, so no anchor ends worse than it started: the sweeps
  // rank by projection distance, which can prefer a match with a larger exact error.
  const Lists pool = Joined(lists, start);
  const std::vector<float> errors = ExactErrors(a, b, options.width, pb, pool, pa.rows, pa.cols);
  if (start_field) {
    // The pool already holds the exact errors of the starting entries, after the swept ones.
    std::vector<float> start_errors(start.matches.size());
    for (size_t p = 0; p < start_errors.size() / length; ++p)
      std::copy_n(&errors[p * pool.length + lists.length], length, &start_errors[p * length]);
    *start_field = BestOfLists(start, start_errors, pa, pb, options, channels, self);
  }
  Field field = BestOfLists(pool, errors, pa, pb, options, channels, self);
  if (options.k == 1 && !self) RefineField(a, b, options.refine, &field);
  return field;
}

}  // namespace

void CheckMatchable(const Image& a, const Image& b, const MatchOptions& options, bool self) {
  const auto fail = [](const std::string& why) { throw MatchError(why); };
  for (const Image* image : {&a, &b}) {
    if (image->channels != 1 && image->channels != 3) fail("images must have 1 or 3 channels");
    if (image->rows > 65535 || image->cols > 65535)
      fail("images must be at most 65535 pixels high and wide");
    if (options.width > image->rows || options.width > image->cols)
      fail("patch width " + std::to_string(options.width) + " is larger than a " +
           std::to_string(image->cols) + " x " + std::to_string(image->rows) + " image");
  }
  if (options.width < 1 || options.width > MaxPatchWidth(3))
    fail("patch width must lie in 1.." + std::to_string(MaxPatchWidth(3)));
  if (options.kernels < 1) fail("the number of kernels must be at least 1");
  if (options.binned < 1) fail("the number of binned projections must be at least 1");
  if (!(options.bin_scale > 0)) fail("the bin scale must be positive");
  if (options.bits < 1 || options.bits > 24) fail("hash bits must lie in 1..24");
  if (options.sweeps < 0) fail("the number of sweeps must not be negative");
  if (options.k < 1 || options.k > 64) fail("k must lie in 1..64");
  if (options.keep > 64) fail("the list length must be at most 64");
  const int32_t side = KernelSide(options.width);
  const uint64_t values = uint64_t(std::min(options.kernels, side * side)) * 3;
  const uint64_t length = uint64_t(std::max(options.k, options.keep) + 1);
  // k distinct matches, and within one image none is the anchor itself.
  const uint64_t anchors_b = uint64_t(b.rows - options.width + 1) * (b.cols - options.width + 1);
  if (anchors_b < uint64_t(options.k) + (self ? 1 : 0))
    fail("too few patches for k = " + std::to_string(options.k));
  for (const Image* image : {&a, &b}) {
    const uint64_t anchors =
        uint64_t(image->rows - options.width + 1) * (image->cols - options.width + 1);
    if (anchors * std::max(values, length) >= (uint64_t{1} << 31)) fail("images are too large");
  }
}

Field MatchImages(const Image& a, const Image& b, const MatchOptions& options, Field* start) {
  return Run(a, b, options, false, start);
}

Field MatchSelf(const Image& a, const MatchOptions& options, Field* start) {
  return Run(a, a, options, true, start);
}

}  // namespace gck
