// How much memory a match takes, and how much this process can still take (told by Linux only).
#if defined(__linux__)
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "matcher/matcher.h"

namespace gck {
namespace {

constexpr uint64_t kNoBound = std::numeric_limits<uint64_t>::max();

#if defined(__linux__)
// The value of `key` in a /proc file of "Key:   123 kB" lines, in bytes; kNoBound when absent.
uint64_t ProcValue(const char* path, const std::string& key) {
  std::ifstream file(path);
  const std::string start = key + ":";
  for (std::string line; std::getline(file, line);) {
    if (line.compare(0, start.size(), start) != 0) continue;
    unsigned long long value = 0;
    // Every such value is in kB.
    return std::sscanf(line.c_str() + start.size(), "%llu", &value) == 1 ? value * 1024 : kNoBound;
  }
  return kNoBound;
}

// A number alone in a file (a control group's limit or use); kNoBound when absent or "max".
uint64_t FileNumber(const std::string& path) {
  std::ifstream file(path);
  uint64_t value = 0;
  return file >> value ? value : kNoBound;
}

// What a resource limit leaves above what is in use.
uint64_t LimitLeft(int resource, uint64_t used) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kNoBound;
  return used == kNoBound || used >= limit.rlim_cur ? 0 : limit.rlim_cur - used;
}
#endif

std::string Amount(uint64_t bytes) {
  char text[32];
  if (bytes >= (uint64_t{1} << 30)) {
    std::snprintf(text, sizeof text, "%.1f GB", bytes / double(uint64_t{1} << 30));
  } else {
    std::snprintf(text, sizeof text, "%.0f MB", std::max(1.0, bytes / double(1 << 20)));
  }
  return text;
}

}  // namespace

uint64_t MatchMemory(const Image& a, const Image& b, const MatchOptions& options, bool self) {
  const bool colour = std::max(a.channels, b.channels) > 1;
  const uint64_t per_pixel = colour ? 16 : 8;
  const uint64_t pixels_a = uint64_t(std::max(a.rows, 0)) * uint64_t(std::max(a.cols, 0));
  // Within one image, A also carries what B would: half as much again.
  const uint64_t pixels =
      self ? pixels_a + pixels_a / 2
           : pixels_a + uint64_t(std::max(b.rows, 0)) * uint64_t(std::max(b.cols, 0));
  const auto anchors = [&](const Image& image) {
    return uint64_t(std::max(image.rows - options.width + 1, 0)) *
           uint64_t(std::max(image.cols - options.width + 1, 0));
  };
  const uint64_t matches = anchors(a) * uint64_t(std::max(options.k, 1));
  // A tree over B's full-size anchors (the best setting's, or a start field's when many anchors
  // are searched again) keeps each anchor's vector, place and patch beside it.
  const bool full_size_tree = options.kernels > 0 && (options.tree_level == 0 || options.start_field);
  const uint64_t tree = full_size_tree ? anchors(self ? a : b) * 128 : 0;
  return pixels * per_pixel + matches * 24 + tree + (uint64_t{16} << 20);
}

uint64_t MemoryRoom() {
  uint64_t room = kNoBound;
#if defined(__linux__)
  room = std::min(room, LimitLeft(RLIMIT_AS, ProcValue("/proc/self/status", "VmSize")));
  room = std::min(room, LimitLeft(RLIMIT_DATA, ProcValue("/proc/self/status", "VmData")));
  const uint64_t available = ProcValue("/proc/meminfo", "MemAvailable");
  const uint64_t swap = ProcValue("/proc/meminfo", "SwapFree");
  if (available != kNoBound) room = std::min(room, available + (swap == kNoBound ? 0 : swap));
  // A container's limit (control groups v2), if this process has one.
  const uint64_t group_limit = FileNumber("/sys/fs/cgroup/memory.max");
  const uint64_t group_use = FileNumber("/sys/fs/cgroup/memory.current");
  if (group_limit != kNoBound && group_use != kNoBound)
    room = std::min(room, group_limit > group_use ? group_limit - group_use : 0);
#endif
  return room;
}

void CheckMemory(uint64_t need) {
  const uint64_t room = MemoryRoom();
  if (need > room)
    throw MatchError("the match needs about " + Amount(need) + " of memory, and this process can " +
                     "take only " + Amount(room) + " more");
}

}  // namespace gck
