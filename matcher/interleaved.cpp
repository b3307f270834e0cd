#include "matcher/interleaved.h"

#include <emmintrin.h>

#include "matcher/thread_team.h"

namespace gck {

InterleavedImage Interleave(const Image& image) {
  InterleavedImage out;
  out.rows = image.rows;
  out.cols = image.cols;
  out.channels = image.channels;
  out.bytes.resize(image.plane() * image.channels);
  for (int32_t k = 0; k < image.channels; ++k) {
    const uint8_t* plane = image.pixels.data() + k * image.plane();
    uint8_t* to = out.bytes.data() + k;
    ParallelFor(0, int64_t(image.plane()), 0, [&](int64_t p) { to[p * image.channels] = plane[p]; });
  }
  return out;
}

namespace {

// Squared differences of 16 byte pairs, as four 32-bit partial sums.
inline __m128i Squares16(__m128i x, __m128i y) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero));
  const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero));
  return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
}

inline __m128i Squares8(const uint8_t* a, const uint8_t* b) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i d = _mm_sub_epi16(
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)), zero),
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)), zero));
  return _mm_madd_epi16(d, d);
}

inline uint32_t Total(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

// One patch column: 16 bytes at a time, then 8, then single bytes; nothing beyond the column is read.
inline uint32_t ColumnSsd(const uint8_t* a, const uint8_t* b, int32_t bytes) {
  __m128i sum = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 16 <= bytes; i += 16)
    sum = _mm_add_epi32(sum, Squares16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
  if (i + 8 <= bytes) sum = _mm_add_epi32(sum, Squares8(a + i, b + i)), i += 8;
  uint32_t total = Total(sum);
  for (; i < bytes; ++i) {
    const int32_t d = int32_t(a[i]) - int32_t(b[i]);
    total += static_cast<uint32_t>(d * d);
  }
  return total;
}

// The common colour case, 8 x 8 x 3: each column is one 16-byte and one 8-byte run, and the early
// exit is tested every second column.
uint32_t Ssd8x8x3(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b,
                  uint32_t limit) {
  uint32_t total = 0;
  for (int32_t c = 0; c < 8; c += 2) {
    __m128i sum = Squares16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
    sum = _mm_add_epi32(sum, Squares8(a + 16, b + 16));
    a += stride_a, b += stride_b;
    sum = _mm_add_epi32(sum, Squares16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
    sum = _mm_add_epi32(sum, Squares8(a + 16, b + 16));
    a += stride_a, b += stride_b;
    total += Total(sum);
    if (total > limit) return total;
  }
  return total;
}


}  // namespace

uint32_t InterleavedSsd(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b,
                        int32_t column_bytes, int32_t width, uint32_t limit) {
  if (column_bytes == 24 && width == 8) return Ssd8x8x3(a, stride_a, b, stride_b, limit);
  uint32_t total = 0;
  for (int32_t c = 0; c < width; ++c) {
    total += ColumnSsd(a + c * stride_a, b + c * stride_b, column_bytes);
    if (total > limit) return total;
  }
  return total;
}

}  // namespace gck
