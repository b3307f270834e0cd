#pragma once
// Slow, obviously correct oracles for the matcher: Walsh-Hadamard projections by direct sums and
// nearest neighbours by trying every patch.

#include <cstdint>
#include <vector>

#include "matcher/image.h"

namespace gck::reference {

// Row `sequency` of the side x side Hadamard matrix (Sylvester's construction) whose sign changes
// number `sequency`. side is a power of two.
std::vector<int> SequencyOrderedWalsh(int side, int sequency);

// sum over i, j < side of down[i] * across[j] * image(r + i, c + j, channel), for the anchor (r,
// c).
int64_t KernelProjection(const Image& image, int channel, int r, int c,
                         const std::vector<int>& down, const std::vector<int>& across);

// Sum of squared differences between the patch of A at (ra, ca) and that of B at (rb, cb), over
// every channel.
int64_t PatchSsd(const Image& a, int ra, int ca, const Image& b, int rb, int cb, int width);

// The smallest PatchSsd of the anchor (r, c) of A over every anchor of B.
int64_t NearestSsd(const Image& a, int r, int c, const Image& b, int width);

}  // namespace gck::reference
