#include "matcher/interleaved.h"

#include <immintrin.h>

#include <cstring>

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

Image Deinterleave(const InterleavedImage& image) {
  Image out = BlankImage(image.rows, image.cols, image.channels);
  for (int32_t k = 0; k < image.channels; ++k)
    for (size_t p = 0; p < out.plane(); ++p)
      out.pixels[k * out.plane() + p] = image.bytes[p * image.channels + k];
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

// Two runs of 8 bytes, a stride apart, as one register.
inline __m128i Load8x2(const uint8_t* p, size_t stride) {
  return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride)));
}

// The common colour case, 8 x 8 x 3: each column is one 16-byte and one 8-byte run, and the early
// exit is tested every second column.
uint32_t Ssd8x8x3(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b,
                  uint32_t limit) {
  uint32_t total = 0;
  for (int32_t c = 0; c < 8; c += 2) {
    __m128i sum = Squares16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
    sum = _mm_add_epi32(sum,
                        Squares16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + stride_a)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + stride_b))));
    sum = _mm_add_epi32(sum, Squares16(Load8x2(a + 16, stride_a), Load8x2(b + 16, stride_b)));
    a += 2 * stride_a, b += 2 * stride_b;
    total += Total(sum);
    if (total > limit) return total;
  }
  return total;
}

// Grey 8 x 8: two columns per register.
uint32_t Ssd8x8x1(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b,
                  uint32_t limit) {
  uint32_t total = 0;
  for (int32_t c = 0; c < 8; c += 4) {
    __m128i sum = Squares16(Load8x2(a, stride_a), Load8x2(b, stride_b));
    a += 2 * stride_a, b += 2 * stride_b;
    sum = _mm_add_epi32(sum, Squares16(Load8x2(a, stride_a), Load8x2(b, stride_b)));
    a += 2 * stride_a, b += 2 * stride_b;
    total += Total(sum);
    if (total > limit) return total;
  }
  return total;
}

// Colour 4 x 4 (the coarse level's patches of 8): each column's 12 bytes as 8 and 4.
inline __m128i Load12(const uint8_t* p) {
  int32_t last;
  std::memcpy(&last, p + 8, 4);
  return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                            _mm_cvtsi32_si128(last));
}

uint32_t Ssd4x4x3(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b) {
  __m128i sum = _mm_setzero_si128();
  for (int32_t c = 0; c < 4; ++c, a += stride_a, b += stride_b)
    sum = _mm_add_epi32(sum, Squares16(Load12(a), Load12(b)));
  return Total(sum);
}

// Grey 4 x 4: the four columns in one register.
inline __m128i Load4x4(const uint8_t* p, size_t stride) {
  int32_t column[4];
  for (int32_t c = 0; c < 4; ++c) std::memcpy(&column[c], p + c * stride, 4);
  return _mm_setr_epi32(column[0], column[1], column[2], column[3]);
}

uint32_t Ssd4x4x1(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b) {
  return Total(Squares16(Load4x4(a, stride_a), Load4x4(b, stride_b)));
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define GCK_AVX2_KERNELS 1
// The same sums with 16 differences per instruction, on processors that have AVX2.
__attribute__((target("avx2"))) inline __m256i Squares32(__m128i x, __m128i y) {
  const __m256i d = _mm256_sub_epi16(_mm256_cvtepu8_epi16(x), _mm256_cvtepu8_epi16(y));
  return _mm256_madd_epi16(d, d);
}

__attribute__((target("avx2"))) inline uint32_t Total256(__m256i v) {
  return Total(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

__attribute__((target("avx2"))) uint32_t Ssd8x8x3Avx2(const uint8_t* a, size_t stride_a,
                                                      const uint8_t* b, size_t stride_b,
                                                      uint32_t limit) {
  uint32_t total = 0;
  for (int32_t c = 0; c < 8; c += 2) {
    __m256i sum = Squares32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
    sum = _mm256_add_epi32(
        sum, Squares32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + stride_a)),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + stride_b))));
    sum = _mm256_add_epi32(sum, Squares32(Load8x2(a + 16, stride_a), Load8x2(b + 16, stride_b)));
    a += 2 * stride_a, b += 2 * stride_b;
    total += Total256(sum);
    if (total > limit) return total;
  }
  return total;
}

__attribute__((target("avx2"))) uint32_t Ssd8x8x1Avx2(const uint8_t* a, size_t stride_a,
                                                      const uint8_t* b, size_t stride_b,
                                                      uint32_t limit) {
  __m256i sum = Squares32(Load8x2(a, stride_a), Load8x2(b, stride_b));
  a += 2 * stride_a, b += 2 * stride_b;
  sum = _mm256_add_epi32(sum, Squares32(Load8x2(a, stride_a), Load8x2(b, stride_b)));
  a += 2 * stride_a, b += 2 * stride_b;
  uint32_t total = Total256(sum);
  if (total > limit) return total;
  sum = Squares32(Load8x2(a, stride_a), Load8x2(b, stride_b));
  a += 2 * stride_a, b += 2 * stride_b;
  sum = _mm256_add_epi32(sum, Squares32(Load8x2(a, stride_a), Load8x2(b, stride_b)));
  return total + Total256(sum);
}

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
bool g_avx2 = HasAvx2();
#endif

}  // namespace

bool AllowAvx2(bool allow) {
#if GCK_AVX2_KERNELS
  g_avx2 = allow && HasAvx2();
  return g_avx2;
#else
  (void)allow;
  return false;
#endif
}

uint32_t InterleavedSsd(const uint8_t* a, size_t stride_a, const uint8_t* b, size_t stride_b,
                        int32_t column_bytes, int32_t width, uint32_t limit) {
  if (width == 8 && (column_bytes == 24 || column_bytes == 8)) {
#if GCK_AVX2_KERNELS
    if (g_avx2)
      return column_bytes == 24 ? Ssd8x8x3Avx2(a, stride_a, b, stride_b, limit)
                                : Ssd8x8x1Avx2(a, stride_a, b, stride_b, limit);
#endif
    return column_bytes == 24 ? Ssd8x8x3(a, stride_a, b, stride_b, limit)
                              : Ssd8x8x1(a, stride_a, b, stride_b, limit);
  }
  if (width == 4 && column_bytes == 12) return Ssd4x4x3(a, stride_a, b, stride_b);
  if (width == 4 && column_bytes == 4) return Ssd4x4x1(a, stride_a, b, stride_b);
  uint32_t total = 0;
  for (int32_t c = 0; c < width; ++c) {
    total += ColumnSsd(a + c * stride_a, b + c * stride_b, column_bytes);
    if (total > limit) return total;
  }
  return total;
}

uint32_t InterleavedColumnSsd(const uint8_t* a, const uint8_t* b, int32_t bytes) {
  return ColumnSsd(a, b, bytes);
}

}  // namespace gck
