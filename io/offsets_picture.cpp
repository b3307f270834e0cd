#include "io/offsets_picture.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace gck {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  uint8_t r, g, b;
};

// Hue from the direction of (down, right), saturation from length / longest, full value.
Rgb Colour(double down, double right, double longest) {
  const double length = std::hypot(down, right);
  if (length == 0 || longest <= 0) return {255, 255, 255};
  const double saturation = std::min(1.0, length / longest);
  double hue = std::atan2(down, right) / (2 * kPi);  // right 0, down a quarter
  if (hue < 0) hue += 1;
  const double h = hue * 6;
  const int sector = std::min(5, int(h));
  const double f = h - sector;
  const double p = 1 - saturation, q = 1 - saturation * f, t = 1 - saturation * (1 - f);
  const double rgb[6][3] = {{1, t, p}, {q, 1, p}, {p, 1, t}, {p, q, 1}, {t, p, 1}, {1, p, q}};
  const auto byte = [](double v) { return static_cast<uint8_t>(std::lround(255 * v)); };
  return {byte(rgb[sector][0]), byte(rgb[sector][1]), byte(rgb[sector][2])};
}

// The key's side: a third of the picture's height, odd so the wheel has a centre pixel.
int32_t KeySide(int32_t rows) {
  const int32_t side = std::clamp(rows / 3, std::min(rows, 17), 257);
  return side % 2 == 1 ? side : side - 1;
}

constexpr int32_t kGap = 4;

}  // namespace

Image OffsetsPicture(const Field& field, int32_t rows, int32_t cols, const Stop& stop) {
  const int32_t side = KeySide(rows);
  Image out = BlankImage(rows, cols + (side > 0 ? kGap + side : 0), 3);
  std::fill(out.pixels.begin(), out.pixels.end(), uint8_t{255});
  const auto put = [&](int32_t r, int32_t c, Rgb colour) {
    out.at(r, c, 0) = colour.r, out.at(r, c, 1) = colour.g, out.at(r, c, 2) = colour.b;
  };
  const auto offset = [&](int32_t r, int32_t c, int32_t* down, int32_t* right) {
    const size_t e = (size_t(r) + size_t(c) * field.rows) * field.k;
    *down = field.match_rows[e] - r, *right = field.match_cols[e] - c;
  };
  // Full saturation from the length that 95 % of the offsets stay within: the few far jumps of a
  // field would otherwise leave the rest pale.
  std::vector<double> lengths;
  lengths.reserve(field.anchors());
  for (int32_t c = 0; c < field.cols; ++c)
    for (int32_t r = 0; r < field.rows; ++r) {
      int32_t down, right;
      offset(r, c, &down, &right);
      lengths.push_back(std::hypot(double(down), double(right)));
    }
  double longest = 0;
  if (!lengths.empty()) {
    const auto at = lengths.begin() + std::ptrdiff_t(0.95 * double(lengths.size() - 1));
    if (Stopped(stop)) return Image();
    std::nth_element(lengths.begin(), at, lengths.end());
    longest = *at > 0 ? *at : *std::max_element(lengths.begin(), lengths.end());
  }
  if (field.rows > 0 && field.cols > 0) {
    // Neighbours mostly share their offset: its colour is worked out once per run of them.
    int32_t last_down = 0, last_right = 0;
    Rgb last = Colour(0, 0, longest);
    for (int32_t c = 0; c < cols; ++c) {
      if (c % 64 == 0 && Stopped(stop)) return Image();
      for (int32_t r = 0; r < rows; ++r) {
        int32_t down, right;
        offset(std::min(r, field.rows - 1), std::min(c, field.cols - 1), &down, &right);
        if (down != last_down || right != last_right)
          last = Colour(down, right, longest), last_down = down, last_right = right;
        put(r, c, last);
      }
    }
  }
  const int32_t radius = side / 2;
  for (int32_t y = -radius; y <= radius; ++y)
    for (int32_t x = -radius; x <= radius; ++x)
      if (x * x + y * y <= radius * radius)
        put(radius + y, cols + kGap + radius + x,
            Colour(y, x, radius == 0 ? 1 : radius));
  return out;
}

}  // namespace gck
