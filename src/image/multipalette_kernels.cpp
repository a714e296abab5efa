#include "image/multipalette_kernels.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELDRAN_X86_KERNELS 1
#endif

namespace img::multipalette {
namespace {

using V8 = std::int32_t __attribute__((vector_size(32)));
using P8 = std::uint32_t __attribute__((vector_size(32)));

constexpr std::int32_t kFar = 0x7FFFFFFF;

// (Vectors pass by reference: returning them would depend on the instruction set.)
[[gnu::always_inline]] inline void load_ints(const std::int32_t* p, V8& out) {
  std::memcpy(&out, p, sizeof out);
}

[[gnu::always_inline]] inline void split_pixels(const Pixel* p, V8& r, V8& g, V8& b) {
  P8 q;
  std::memcpy(&q, p, sizeof q);
  r = reinterpret_cast<V8>((q >> 16) & 0xFF);
  g = reinterpret_cast<V8>((q >> 8) & 0xFF);
  b = reinterpret_cast<V8>(q & 0xFF);
}

[[gnu::always_inline]] inline void smallest_distance(const V8& r, const V8& g, const V8& b,
                                                     const Colours& c, V8& best) {
  best = V8{} + kFar;
  for (std::int32_t j = 0; j < c.count; ++j) {
    const V8 dr = r - c.r[j], dg = g - c.g[j], db = b - c.b[j];
    const V8 d = dr * dr + dg * dg + db * db;
    best = d < best ? d : best;
  }
}

// Distance times 256 plus index: the smallest such value is the nearest colour, and among
// colours at the same distance the one with the lower index.
[[gnu::always_inline]] inline void nearest(const V8& r, const V8& g, const V8& b, const Colours& c,
                                           V8& best) {
  best = V8{} + kFar;
  for (std::int32_t j = 0; j < c.count; ++j) {
    const V8 dr = r - c.r[j], dg = g - c.g[j], db = b - c.b[j];
    const V8 d = ((dr * dr + dg * dg + db * db) << 8) | j;
    best = d < best ? d : best;
  }
}

[[gnu::always_inline]] inline std::uint64_t weighted_error_body(const PointArrays& p,
                                                                std::uint32_t first,
                                                                std::uint32_t count,
                                                                const Colours& c,
                                                                std::uint64_t bound, bool narrow) {
  const V8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  std::uint64_t sum = 0;
  P8 lanes_sum = P8{};
  for (std::uint32_t i = 0; i < count; i += 8) {
    const std::uint32_t at = first + i;
    V8 r, g, b, d;
    split_pixels(p.colour + at, r, g, b);
    smallest_distance(r, g, b, c, d);
    if (narrow) {
      // Products and sums stay below 2^32: eight lanes at once, points past the end weigh 0.
      P8 w;
      std::memcpy(&w, p.weight + at, sizeof w);
      w &= reinterpret_cast<P8>(lane < static_cast<std::int32_t>(count - i));
      lanes_sum += reinterpret_cast<P8>(d) * w;
      sum = 0;
      for (int l = 0; l < 8; ++l) sum += lanes_sum[l];
    } else {
      const std::uint32_t lanes = count - i < 8 ? count - i : 8;
      for (std::uint32_t l = 0; l < lanes; ++l) {
        sum += static_cast<std::uint64_t>(d[l]) * p.weight[at + l];
      }
    }
    if (sum > bound) break;
  }
  return sum;
}

[[gnu::always_inline]] inline void nearest_cells_body(const std::int32_t* r, const std::int32_t* g,
                                                      const std::int32_t* b, std::int32_t count,
                                                      const Colours& c, std::int32_t* out) {
  for (std::int32_t i = 0; i < count; i += 8) {
    V8 vr, vg, vb, v;
    load_ints(r + i, vr);
    load_ints(g + i, vg);
    load_ints(b + i, vb);
    nearest(vr, vg, vb, c, v);
    std::memcpy(out + i, &v, sizeof v);
  }
}

[[gnu::always_inline]] inline void distances_body(Pixel colour, const Colours& c,
                                                  std::int32_t* out) {
  const std::int32_t r = red_of(colour), g = green_of(colour), b = blue_of(colour);
  for (std::int32_t j = 0; j < c.count; j += 8) {
    V8 cr, cg, cb;
    load_ints(c.r + j, cr);
    load_ints(c.g + j, cg);
    load_ints(c.b + j, cb);
    const V8 dr = cr - r, dg = cg - g, db = cb - b;
    const V8 d = dr * dr + dg * dg + db * db;
    std::memcpy(out + j, &d, sizeof d);
  }
}

[[gnu::always_inline]] inline std::uint64_t nearest_pixels_body(const Pixel* px, std::int32_t count,
                                                                const Colours& c,
                                                                std::uint8_t* index) {
  std::uint64_t sum = 0;
  for (std::int32_t i = 0; i < count; i += 8) {
    const std::int32_t lanes = count - i < 8 ? count - i : 8;
    V8 r, g, b, v;
    if (lanes == 8) {
      split_pixels(px + i, r, g, b);
    } else {  // the last few pixels, repeated to fill the vector
      Pixel chunk[8];
      for (std::int32_t l = 0; l < 8; ++l) chunk[l] = px[i + (l < lanes ? l : lanes - 1)];
      split_pixels(chunk, r, g, b);
    }
    nearest(r, g, b, c, v);
    for (std::int32_t l = 0; l < lanes; ++l) {
      index[i + l] = static_cast<std::uint8_t>(v[l] & 0xFF);
      sum += static_cast<std::uint32_t>(v[l]) >> 8;
    }
  }
  return sum;
}

std::uint64_t weighted_error_plain(const PointArrays& p, std::uint32_t first, std::uint32_t count,
                                   const Colours& c, std::uint64_t bound, bool narrow) {
  return weighted_error_body(p, first, count, c, bound, narrow);
}
void nearest_cells_plain(const std::int32_t* r, const std::int32_t* g, const std::int32_t* b,
                         std::int32_t count, const Colours& c, std::int32_t* out) {
  nearest_cells_body(r, g, b, count, c, out);
}
void distances_plain(Pixel colour, const Colours& c, std::int32_t* out) {
  distances_body(colour, c, out);
}
std::uint64_t nearest_pixels_plain(const Pixel* px, std::int32_t count, const Colours& c,
                                   std::uint8_t* index) {
  return nearest_pixels_body(px, count, c, index);
}

#ifdef VELDRAN_X86_KERNELS
// The AVX2 kernels compute the same distances with 16-bit differences: red and green as the
// two halves of one word and blue alone, each pair of squares summed by one multiply-add.

__attribute__((target("avx2"))) inline void split_words(__m256i q, __m256i& rg, __m256i& b) {
  const __m256i low = _mm256_set1_epi32(0xFF);
  rg = _mm256_or_si256(_mm256_and_si256(q, _mm256_set1_epi32(0xFF0000)),
                       _mm256_and_si256(_mm256_srli_epi32(q, 8), low));
  b = _mm256_and_si256(q, low);
}

__attribute__((target("avx2"))) inline __m256i distance_to(__m256i rg, __m256i b, const Colours& c,
                                                           std::int32_t j) {
  const __m256i drg = _mm256_sub_epi16(rg, _mm256_set1_epi32(c.rg[j]));
  const __m256i db = _mm256_sub_epi16(b, _mm256_set1_epi32(c.b[j]));
  return _mm256_add_epi32(_mm256_madd_epi16(drg, drg), _mm256_madd_epi16(db, db));
}

__attribute__((target("avx2"))) inline __m256i nearest_avx2(__m256i rg, __m256i b,
                                                            const Colours& c) {
  __m256i best = _mm256_set1_epi32(kFar);
  for (std::int32_t j = 0; j < c.count; ++j) {
    const __m256i d =
        _mm256_or_si256(_mm256_slli_epi32(distance_to(rg, b, c, j), 8), _mm256_set1_epi32(j));
    best = _mm256_min_epi32(best, d);
  }
  return best;
}

__attribute__((target("avx2"))) std::uint64_t weighted_error_avx2(
    const PointArrays& p, std::uint32_t first, std::uint32_t count, const Colours& c,
    std::uint64_t bound, bool narrow) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i lanes_sum = _mm256_setzero_si256();
  std::uint64_t sum = 0;
  for (std::uint32_t i = 0; i < count; i += 8) {
    const std::uint32_t at = first + i;
    __m256i rg, b;
    split_words(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.colour + at)), rg, b);
    __m256i best = _mm256_set1_epi32(kFar);
    for (std::int32_t j = 0; j < c.count; ++j)
      best = _mm256_min_epi32(best, distance_to(rg, b, c, j));
    if (narrow) {
      const __m256i valid =
          _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<std::int32_t>(count - i)), lane);
      const __m256i w = _mm256_and_si256(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.weight + at)), valid);
      lanes_sum = _mm256_add_epi32(lanes_sum, _mm256_mullo_epi32(best, w));
      __m128i s4 =
          _mm_add_epi32(_mm256_castsi256_si128(lanes_sum), _mm256_extracti128_si256(lanes_sum, 1));
      s4 = _mm_add_epi32(s4, _mm_shuffle_epi32(s4, 0x4E));
      s4 = _mm_add_epi32(s4, _mm_shuffle_epi32(s4, 0xB1));
      sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(s4));
    } else {
      alignas(32) std::int32_t d[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(d), best);
      const std::uint32_t lanes = count - i < 8 ? count - i : 8;
      for (std::uint32_t l = 0; l < lanes; ++l) {
        sum += static_cast<std::uint64_t>(d[l]) * p.weight[at + l];
      }
    }
    if (sum > bound) break;
  }
  return sum;
}

__attribute__((target("avx2"))) void nearest_cells_avx2(const std::int32_t* r,
                                                        const std::int32_t* g,
                                                        const std::int32_t* b, std::int32_t count,
                                                        const Colours& c, std::int32_t* out) {
  for (std::int32_t i = 0; i < count; i += 8) {
    const __m256i vr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r + i));
    const __m256i vg = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g + i));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    const __m256i rg = _mm256_or_si256(_mm256_slli_epi32(vr, 16), vg);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), nearest_avx2(rg, vb, c));
  }
}

__attribute__((target("avx2"))) void distances_avx2(Pixel colour, const Colours& c,
                                                    std::int32_t* out) {
  __m256i rg, b;
  split_words(_mm256_set1_epi32(static_cast<std::int32_t>(colour)), rg, b);
  for (std::int32_t j = 0; j < c.count; j += 8) {
    const __m256i drg =
        _mm256_sub_epi16(rg, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.rg + j)));
    const __m256i db =
        _mm256_sub_epi16(b, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.b + j)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j),
                        _mm256_add_epi32(_mm256_madd_epi16(drg, drg), _mm256_madd_epi16(db, db)));
  }
}

__attribute__((target("avx2"))) std::uint64_t nearest_pixels_avx2(const Pixel* px,
                                                                  std::int32_t count,
                                                                  const Colours& c,
                                                                  std::uint8_t* index) {
  std::uint64_t sum = 0;
  for (std::int32_t i = 0; i < count; i += 8) {
    const std::int32_t lanes = count - i < 8 ? count - i : 8;
    __m256i q;
    if (lanes == 8) {
      q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px + i));
    } else {  // the last few pixels, repeated to fill the vector
      Pixel chunk[8];
      for (std::int32_t l = 0; l < 8; ++l) chunk[l] = px[i + (l < lanes ? l : lanes - 1)];
      q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk));
    }
    __m256i rg, b;
    split_words(q, rg, b);
    alignas(32) std::int32_t v[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(v), nearest_avx2(rg, b, c));
    for (std::int32_t l = 0; l < lanes; ++l) {
      index[i + l] = static_cast<std::uint8_t>(v[l] & 0xFF);
      sum += static_cast<std::uint32_t>(v[l]) >> 8;
    }
  }
  return sum;
}
#endif

constexpr Kernels kPlain{weighted_error_plain, nearest_cells_plain, distances_plain,
                         nearest_pixels_plain};

}  // namespace

const Kernels& plain_kernels() {
  return kPlain;
}

const Kernels& kernels() {
#ifdef VELDRAN_X86_KERNELS
  static const Kernels chosen =
      __builtin_cpu_supports("avx2")
          ? Kernels{weighted_error_avx2, nearest_cells_avx2, distances_avx2, nearest_pixels_avx2}
          : kPlain;
  return chosen;
#else
  return kPlain;
#endif
}

}  // namespace img::multipalette
