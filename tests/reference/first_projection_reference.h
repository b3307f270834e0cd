#pragma once
// Window sums by brute force: for every anchored window, add its pixels one by one.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gck::reference {

// Returns rows x cols sums (0 where no window fits), exact in 64 bits.
std::vector<int64_t> WindowSums(const std::vector<uint8_t>& image, int rows, int cols, int width);

}  // namespace gck::reference
