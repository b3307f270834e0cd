#pragma once
// The matcher: a nearest-neighbour field between two images (or within one) by propagation and
// random search over a pyramid, with a kd-tree over B's Walsh-Hadamard vectors at one level.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "matcher/field.h"
#include "matcher/image.h"

namespace gck {

// Defaults and the reasons for them: docs/matcher.md.
struct MatchOptions {
  int32_t width = 8;    // patch side
  int32_t k = 1;        // matches kept per anchor
  uint64_t seed = 1;    // the random start; the same seed gives the same field
  int32_t threads = 0;  // 0: every hardware thread, at most kMaxThreads; the field is the same
                        // for any count, and no more threads start than the images give work for
  // How hard to search (QualityOptions gives the settings; docs/matcher.md the reasons):
  int32_t levels = 1;         // coarser copies of the pair, each half the size, matched first
  int32_t coarse_passes = 1;  // sweeps over the coarsest level (the full size when levels = 0)
  int32_t coarse_radius = -1; // its random search window in pixels; 0: all of B, -1: none
  int32_t mid_passes = 1;     // sweeps over each level between the coarsest and the full size
  int32_t passes = 2;         // sweeps over the full-size pair, when it is not the coarsest
  int32_t radius = 2;         // their random search window; 0: all of B, -1: none
  int32_t kernels = 3;        // Walsh-Hadamard kernels per channel in an anchor's vector; 0: no
                              // tree over B's vectors
  int32_t leaf_size = 4;      // anchors of B per leaf of that tree
  int32_t tree_step = 1;      // the tree holds the anchors of every tree_step-th column of B
  int32_t tree_level = 1;     // the pyramid level the tree serves (0: the full size, as from a
                              // start field)
  int32_t tree_anchors = 1 << 19;  // where B has more anchors than this at that level, the pyramid
                                   // grows and the tree serves a coarser level (0: no limit)
  int32_t entry_leaves = 1;   // besides its own leaf, an anchor visits the leaves of this many of
                              // its first matches (at most 8)
  int32_t leaf_tries = 0;     // leaf members measured per anchor, those whose vectors lie closest
                              // (0: every member the vectors' bound leaves a chance; at most 32)
  bool copy_table = true;     // with k > 1, every anchor meets the exact copies of its patch in
                              // B through a table of the patches' hashes
  int32_t good_enough = 2;    // an anchor whose matches differ by at most this squared amount per
                              // pixel and channel skips the tree
  // A field to start from instead of a random start and the coarse levels: for every anchor of A,
  // k >= 1 anchors of B (any k; the field of an earlier match of A, or of an image of A's size).
  // Each entry is measured and the best join the lists before the first sweep, so no anchor ends
  // worse than its best start entry. Not owned: it must outlive the call.
  const Field* start_field = nullptr;
  // Called with done = 0 before the first level and after each level: done of total levels. It
  // is called on the calling thread, and may throw to cancel the match: the exception leaves
  // MatchImages or MatchSelf and nothing is kept.
  std::function<void(int32_t done, int32_t total)> progress;
  // Asked on the calling thread every 10 ms or so while the match runs, and after each progress
  // call (the match waits for that answer before it goes on): true cancels the match, and
  // MatchImages or MatchSelf throws MatchCancelled within milliseconds; a throw cancels it too and
  // leaves with that exception. Nothing is kept either way.
  std::function<bool()> cancelled;
};

// The most threads a match may be asked for.
constexpr int32_t kMaxThreads = 1024;

// Settings, fastest first, each more accurate than the one before: the default searches the tree
// at the half size, then sweeps the full size twice with a local random search; fast uses a tree
// over half of B and a narrower search; high sweeps more; best searches the tree at full size.
// Measured (docs/matcher.md): each is both faster and more accurate than the randomized baseline
// with 2 (fast), 5 (default) or 8 (high, best) iterations.
enum class Quality { kFast, kDefault, kHigh, kBest };
inline constexpr Quality kQualities[] = {Quality::kFast, Quality::kDefault, Quality::kHigh,
                                         Quality::kBest};
MatchOptions QualityOptions(Quality quality);

// The setting's name as the command line and Python take it ("fast", "default", "high", "best"),
// and back.
const char* SettingName(Quality quality);
bool ParseQuality(const std::string& name, Quality* quality);
// The names, fastest first, joined by '|'.
std::string QualityNames();

// What MatchImages and MatchSelf throw for inputs they cannot match; the message says why.
class MatchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a match throws when its `cancelled` callback asked it to stop.
class MatchCancelled : public std::runtime_error {
 public:
  MatchCancelled() : std::runtime_error("the match was cancelled") {}
};

// For every anchor of A, its k best matches among the anchors of B. A grey image matched with a
// colour one is taken as three equal channels. No anchor's best match has a larger error than its
// best random starting match, which `start`, when given, receives.
Field MatchImages(const Image& a, const Image& b, const MatchOptions& options,
                  Field* start = nullptr);

// For every anchor of A, its k nearest other anchors of A (as MatchImages otherwise).
Field MatchSelf(const Image& a, const MatchOptions& options, Field* start = nullptr);

// The most sweeps of a level that options may ask for.
constexpr int32_t kMostPasses = 64;

// Checks that match(a, b) (MatchSelf(a) when `self`, with b = a) can run with these options: the
// images' sizes and channels, and every option within its range. Reads only the sizes, not the
// pixels; throws MatchError otherwise.
void CheckMatchable(const Image& a, const Image& b, const MatchOptions& options, bool self = false);

// Throws MatchError unless the image holds one byte per pixel and channel (MatchImages, MatchSelf
// and SequenceMatcher::Add check this too).
void CheckPixels(const Image& image);

// The memory a match of these images takes at its peak, in bytes, estimated on the safe side from
// the sizes alone: per pixel of A and of B (of A one and a half times in a match within A)
//   8 bytes for grey images, 16 with a colour one,
// plus 24 bytes per match kept (anchors of A x k), 128 per anchor of B where a tree is built over
// B's full size (the best setting, or a start field), and 16 MB. bench/memory_estimate measures
// the peaks it stands for (docs/benchmarks.md): every setting, k = 1 to 16, grey and colour.
uint64_t MatchMemory(const Image& a, const Image& b, const MatchOptions& options,
                     bool self = false);

// The memory this process can still take, in bytes: the least of what its address-space and data
// limits (ulimit -v, -d) leave, of the machine's available memory and free swap, and of what its
// control group's limit leaves. Linux's /proc and /sys tell; where they do not, that bound is
// taken as no bound.
uint64_t MemoryRoom();

// Throws MatchError, naming both amounts, when `need` bytes exceed MemoryRoom().
void CheckMemory(uint64_t need);

}  // namespace gck
