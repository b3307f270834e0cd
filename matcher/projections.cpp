#include "matcher/projections.h"

#include <algorithm>
#include <cassert>

#include "projection/first_projection.h"
#include "projection/gck_step.h"
#include "matcher/thread_team.h"

namespace gck {
namespace {

// Right shift that keeps the projections of kernels wider than 8 inside int16.
int32_t ScaleShift(int32_t side) {
  int32_t shift = 0;
  for (int32_t s = side; s > 8; s /= 2) shift += 2;
  return shift;
}

// Anchors per side of the tiles projected one at a time: the work and the scratch memory of a tile
// do not grow with the image, and tiles run side by side on the threads. The values do not depend
// on the tiling, each being the exact projection of its own patch.
constexpr int32_t kTileAnchors = 512;

// Projects the anchors [r0, r0 + tile_rows) x [c0, c0 + tile_cols) of the image into `out`.
template <class T>
void ProjectTile(const Image& image, int32_t width, const KernelChain& chain, int32_t r0,
                 int32_t c0, int32_t tile_rows, int32_t tile_cols, Projections* out) {
  const int32_t side = chain.side;
  const int32_t channels = image.channels;
  // 2s - 1 rows and columns of zeros before the tile's pixels hold the zero-valued seeds of every
  // chain; one after them keeps the last anchor inside the range each GCK step computes.
  const int32_t pad = 2 * side - 1;
  const int32_t pixel_rows = tile_rows + width - 1, pixel_cols = tile_cols + width - 1;
  const int32_t rows = pad + pixel_rows + 1;
  const int32_t cols = pad + pixel_cols + 1;
  const size_t plane = static_cast<size_t>(rows) * cols;
  std::vector<uint8_t> padded(plane * channels, 0);
  for (int32_t k = 0; k < channels; ++k)
    for (int32_t c = 0; c < pixel_cols; ++c)
      std::copy_n(&image.pixels[(c0 + c) * size_t(image.rows) + r0 + k * image.plane()],
                  pixel_rows, &padded[k * plane + (pad + c) * size_t(rows) + pad]);

  std::vector<uint32_t> table(padded.size());
  std::vector<T> current(padded.size(), 0), next(padded.size());
  FirstProjection(padded.data(), rows, cols * channels, side, table.data(), current.data());

  const int32_t shift = ScaleShift(side);
  const size_t anchors = static_cast<size_t>(out->rows) * out->cols;
  const size_t values = static_cast<size_t>(out->values);
  const int32_t kernels = static_cast<int32_t>(chain.row_sequency.size());
  for (int32_t n = 0; n < kernels; ++n) {
    CheckCancelled();  // a tile of a large colour image takes a while
    if (n > 0) {
      std::fill(next.begin(), next.end(), T{0});
      GckStep(current.data(), next.data(), rows, cols, channels, chain.steps[n - 1]);
      current.swap(next);
    }
    for (int32_t k = 0; k < channels; ++k) {
      const int32_t v = n * channels + k;
      int16_t* kept = v < out->planes_kept ? out->planes.data() + v * anchors : nullptr;
      for (int32_t c = 0; c < tile_cols; ++c) {
        const T* from = current.data() + k * plane + (pad + c) * size_t(rows) + pad;
        const size_t first = size_t(c0 + c) * out->rows + r0;
        int16_t* to = out->stack.data() + first * values + v;
        for (int32_t r = 0; r < tile_rows; ++r) {
          const int16_t value = static_cast<int16_t>(from[r] >> shift);
          to[r * values] = value;
          if (kept) kept[first + r] = value;
        }
      }
    }
  }
}

template <class T>
void ProjectTiles(const Image& image, int32_t width, const KernelChain& chain, Projections* out) {
  const int32_t tile_rows = (out->rows + kTileAnchors - 1) / kTileAnchors;
  const int32_t tiles = tile_rows * ((out->cols + kTileAnchors - 1) / kTileAnchors);
  ParallelFor(0, tiles, 1, [&](int64_t t) {
    const int32_t r0 = int32_t(t % tile_rows) * kTileAnchors;
    const int32_t c0 = int32_t(t / tile_rows) * kTileAnchors;
    ProjectTile<T>(image, width, chain, r0, c0, std::min(kTileAnchors, out->rows - r0),
                   std::min(kTileAnchors, out->cols - c0), out);
  });
}

// The chain's first four kernels, (0,0), (0,1), (1,1) and (1,0), are sums and differences of the
// four quadrants of the side x side sub-patch: one box sum per channel gives them, with no chain.
bool IsQuadrantChain(const KernelChain& chain) {
  static const int32_t row_sequency[] = {0, 0, 1, 1}, col_sequency[] = {0, 1, 1, 0};
  const size_t kernels = chain.row_sequency.size();
  if (chain.side < 2 || chain.side > 8 || kernels > 4) return false;
  for (size_t n = 0; n < kernels; ++n)
    if (chain.row_sequency[n] != row_sequency[n] || chain.col_sequency[n] != col_sequency[n])
      return false;
  return true;
}

// Anchor columns per strip of the quadrant path: strips run side by side on the threads.
constexpr int32_t kStripCols = 256;

// The quadrant kernels' values of the anchor columns [c0, c0 + strip_cols), signed as the chain
// leaves them (kernel n times (-1)^n).
void ProjectQuadrantStrip(const Image& image, int32_t side, int32_t c0, int32_t strip_cols,
                          Projections* out) {
  const int32_t h = side / 2;
  const int32_t box_rows = image.rows - h + 1;
  // Box sums of h x h pixels at the strip's columns and the h after them; below 256 x 16.
  const int32_t box_cols = strip_cols + h;
  std::vector<uint16_t> columns(size_t(box_rows) * (box_cols + h - 1)),
      boxes(size_t(box_rows) * box_cols);
  const size_t anchors = size_t(out->rows) * out->cols;
  const int32_t values = out->values;
  const int32_t kernels = values / image.channels;
  for (int32_t k = 0; k < image.channels; ++k) {
    const uint8_t* plane = image.pixels.data() + k * image.plane();
    // Sums of h pixels down each column, then of h such sums across.
    for (int32_t j = 0; j < box_cols + h - 1; ++j) {
      const uint8_t* px = plane + size_t(c0 + j) * image.rows;
      uint16_t* to = &columns[size_t(j) * box_rows];
      uint16_t sum = 0;
      for (int32_t r = 0; r < h; ++r) sum += px[r];
      to[0] = sum;
      for (int32_t r = 1; r < box_rows; ++r)
        to[r] = sum = uint16_t(sum + px[r + h - 1] - px[r - 1]);
    }
    for (int32_t j = 0; j < box_cols; ++j) {
      uint16_t* to = &boxes[size_t(j) * box_rows];
      std::copy_n(&columns[size_t(j) * box_rows], box_rows, to);
      for (int32_t d = 1; d < h; ++d) {
        const uint16_t* from = &columns[size_t(j + d) * box_rows];
        for (int32_t r = 0; r < box_rows; ++r) to[r] = uint16_t(to[r] + from[r]);
      }
    }
    for (int32_t j = 0; j < strip_cols; ++j) {
      const uint16_t* left = &boxes[size_t(j) * box_rows];
      const uint16_t* right = &boxes[size_t(j + h) * box_rows];
      const size_t first = size_t(c0 + j) * out->rows;
      int16_t* to = out->stack.data() + first * values + k;
      for (int32_t r = 0; r < out->rows; ++r, to += values) {
        const int32_t tl = left[r], bl = left[r + h], tr = right[r], br = right[r + h];
        const int16_t v[4] = {int16_t(tl + tr + bl + br), int16_t(tr + br - tl - bl),
                              int16_t(tl - tr - bl + br), int16_t(bl + br - tl - tr)};
        for (int32_t n = 0; n < kernels; ++n) to[n * image.channels] = v[n];
      }
      for (int32_t v = k; v < out->planes_kept; v += image.channels)
        for (int32_t r = 0; r < out->rows; ++r)
          out->planes[size_t(v) * anchors + first + r] = out->stack[(first + r) * values + v];
    }
  }
}

}  // namespace

Projections Project(const Image& image, int32_t width, const KernelChain& chain,
                    int32_t planes_kept) {
  assert(chain.side >= 1 && chain.side <= width && width <= std::min(image.rows, image.cols));
  Projections out;
  out.rows = image.rows - width + 1;
  out.cols = image.cols - width + 1;
  out.values = static_cast<int32_t>(chain.row_sequency.size()) * image.channels;
  const int32_t kept = std::clamp(planes_kept, 0, out.values);
  const size_t anchors = static_cast<size_t>(out.rows) * out.cols;
  out.planes_kept = kept;
  out.planes.resize(anchors * kept);
  out.stack.resize(anchors * out.values);
  if (IsQuadrantChain(chain)) {
    const int32_t strips = (out.cols + kStripCols - 1) / kStripCols;
    ParallelFor(0, strips, 1, [&](int64_t s) {
      ProjectQuadrantStrip(image, chain.side, int32_t(s) * kStripCols,
                           std::min(kStripCols, out.cols - int32_t(s) * kStripCols), &out);
    });
  } else if (chain.side <= 8) {
    ProjectTiles<int16_t>(image, width, chain, &out);
  } else {
    ProjectTiles<int32_t>(image, width, chain, &out);
  }
  return out;
}

}  // namespace gck
