#include "image/rotate.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define VELDRAN_X86_KERNELS 1
#endif

namespace img {

namespace {

constexpr std::int64_t kOne = std::int64_t{1} << kTrigBits;
constexpr std::int64_t kPixel = std::int64_t{1} << kPositionBits;
constexpr std::int64_t kHalfPhase = std::int64_t{1} << (kPositionBits - kPhaseBits - 1);
constexpr int kPhases = 1 << kPhaseBits;
constexpr int kSumShift = 2 * kTapBits;
constexpr int kRowsPerChunk = 32;

// The turned extent along one side rounded up as plan_rotation says, keeping the parity of
// `side`.
std::int32_t turned_side(std::int64_t along, std::int64_t across, std::int64_t cosine,
                         std::int64_t sine, std::int32_t side) {
  const std::int64_t extent = along * std::abs(cosine) + across * std::abs(sine) - kOne / 256;
  std::int64_t n = std::max<std::int64_t>((extent + kOne - 1) / kOne, 1);
  if ((n - side) % 2 != 0) ++n;
  return static_cast<std::int32_t>(std::min<std::int64_t>(n, INT32_MAX));
}

constexpr std::array<CubicTaps, kPhases> make_taps() {
  std::array<CubicTaps, kPhases> table{};
  constexpr std::int64_t n = kPhases;
  constexpr int shift = 3 * kPhaseBits + 1 - kTapBits;  // the cubic's scale 2 n^3, down to 2^11
  for (std::int64_t f = 0; f < n; ++f) {
    // 2 n^3 times the Catmull-Rom weights at t = f / n.
    const std::int64_t exact[4] = {
        -f * f * f + 2 * f * f * n - f * n * n, 3 * f * f * f - 5 * f * f * n + 2 * n * n * n,
        -3 * f * f * f + 4 * f * f * n + f * n * n, f * f * f - f * f * n};
    CubicTaps& t = table[static_cast<std::size_t>(f)];
    for (int k = 0; k < 4; ++k) {
      t[k] = static_cast<std::int16_t>((exact[k] + (std::int64_t{1} << (shift - 1))) >> shift);
    }
    const int middle = f < n / 2 ? 1 : 2;
    int others = 0;
    for (int k = 0; k < 4; ++k) others += k == middle ? 0 : t[k];
    t[middle] = static_cast<std::int16_t>((1 << kTapBits) - others);
  }
  return table;
}

constexpr std::array<CubicTaps, kPhases> kTaps = make_taps();

inline std::int32_t clamp_component(std::int32_t sum) {
  return std::clamp((sum + (1 << (kSumShift - 1))) >> kSumShift, 0, 255);
}

// Runs body(first row, last row + 1) over rows [0, rows) in chunks, on `threads` threads that
// take the next chunk as they finish one.
template <class Body>
void for_row_chunks(std::int32_t rows, int threads, const Body& body) {
  std::atomic<std::int32_t> next{0};
  auto work = [&] {
    for (;;) {
      const std::int32_t y = next.fetch_add(kRowsPerChunk);
      if (y >= rows) return;
      body(y, std::min(rows, y + kRowsPerChunk));
    }
  };
  std::vector<std::thread> helpers;
  for (int i = 1; i < threads && i * kRowsPerChunk < rows; ++i) helpers.emplace_back(work);
  work();
  for (std::thread& t : helpers) t.join();
}

int thread_count(int requested) {
  if (requested > 0) return std::min(requested, 64);
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

// Quarter turns move each pixel: new (X, Y) takes old (Y, h - 1 - X) for one turn clockwise,
// (w - 1 - X, h - 1 - Y) for two and (w - 1 - Y, X) for three. Done in square tiles so that
// both planes are walked in cache-sized pieces.
void turn_quarters(ConstPlane from, std::int32_t w, std::int32_t h, int turns, Plane to,
                   std::int32_t y0, std::int32_t y1) {
  constexpr std::int32_t kTile = 64;
  const std::int32_t new_w = turns == 2 ? w : h;
  for (std::int32_t tx = 0; tx < new_w; tx += kTile) {
    const std::int32_t tx1 = std::min(new_w, tx + kTile);
    for (std::int32_t y = y0; y < y1; ++y) {
      Pixel* out = to.row(y);
      if (turns == 1) {
        for (std::int32_t x = tx; x < tx1; ++x) out[x] = from.at(y, h - 1 - x);
      } else if (turns == 2) {
        const Pixel* in = from.row(h - 1 - y);
        for (std::int32_t x = tx; x < tx1; ++x) out[x] = in[w - 1 - x];
      } else {
        for (std::int32_t x = tx; x < tx1; ++x) out[x] = from.at(w - 1 - y, x);
      }
    }
  }
}

// One resampled rotation: the plan, both pictures, and the bounds of the rounded positions
// whose sixteen taps all lie inside the old picture (1 <= floor <= size - 3).
struct Resampling {
  ConstPlane from;
  std::int32_t w, h;
  Plane to;
  RotationPlan plan;
  std::int64_t uq_low = kPixel, uq_high = 0, vq_low = kPixel, vq_high = 0;

  Resampling(ConstPlane f, std::int32_t fw, std::int32_t fh, Plane t, const RotationPlan& p)
      : from(f),
        w(fw),
        h(fh),
        to(t),
        plan(p),
        uq_high(std::int64_t{fw - 2} * kPixel),
        vq_high(std::int64_t{fh - 2} * kPixel) {}
  bool inside(std::int64_t uq, std::int64_t vq) const {
    return uq >= uq_low && uq < uq_high && vq >= vq_low && vq < vq_high;
  }
};

inline const CubicTaps& taps_at(std::int64_t q) {
  return kTaps[static_cast<std::size_t>((q >> (kPositionBits - kPhaseBits)) & (kPhases - 1))];
}

// From `x` on, the run of pixels whose taps all lie inside, with the rounded positions (uq, vq)
// of pixel x stepping by (du, dv); returns the first pixel after the run. Plain loops.
std::int32_t interpolate_run(const Resampling& r, std::int64_t uq, std::int64_t vq, std::int64_t du,
                             std::int64_t dv, std::int32_t x, std::int32_t end, Pixel* out) {
  for (; x < end && r.inside(uq, vq); ++x, uq += du, vq += dv) {
    const CubicTaps& tu = taps_at(uq);
    const CubicTaps& tv = taps_at(vq);
    const Pixel* p = r.from.row(static_cast<std::int32_t>(vq >> kPositionBits) - 1) +
                     (static_cast<std::int32_t>(uq >> kPositionBits) - 1);
    std::int32_t blue = 0, green = 0, red = 0;
    for (int j = 0; j < 4; ++j, p += r.from.stride) {
      std::int32_t hb = 0, hg = 0, hr = 0;
      for (int k = 0; k < 4; ++k) {
        hb += tu[k] * blue_of(p[k]);
        hg += tu[k] * green_of(p[k]);
        hr += tu[k] * red_of(p[k]);
      }
      blue += tv[j] * hb;
      green += tv[j] * hg;
      red += tv[j] * hr;
    }
    out[x] = make_pixel(clamp_component(red), clamp_component(green), clamp_component(blue));
  }
  return x;
}

#ifdef VELDRAN_X86_KERNELS
// Four pixels of row a in the low half, four of row b in the high half.
__attribute__((target("avx2"))) inline __m256i two_rows(const Pixel* a, const Pixel* b) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), 1);
}

// Two taps side by side in every 32-bit lane, for the 16-bit multiply-add.
__attribute__((target("avx2"))) inline __m256i tap_pair(std::int16_t a, std::int16_t b) {
  return _mm256_set1_epi32(
      static_cast<int>(static_cast<std::uint16_t>(a) |
                       static_cast<std::uint32_t>(static_cast<std::uint16_t>(b)) << 16));
}

// The same sums with AVX2: two rows of four pixels per register, a row's taps applied by
// multiply-add on 16-bit lanes, the rows' taps on 32-bit lanes; the packing saturates to
// 0 … 255 exactly as the clamp does.
__attribute__((target("avx2"))) std::int32_t interpolate_run_avx2(const Resampling& r,
                                                                  std::int64_t uq, std::int64_t vq,
                                                                  std::int64_t du, std::int64_t dv,
                                                                  std::int32_t x, std::int32_t end,
                                                                  Pixel* out) {
  const __m256i pick01 = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1,
                                          0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1);
  const __m256i pick23 =
      _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1, 8, -1, 12, -1,
                       9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1);
  const __m128i half = _mm_set1_epi32(1 << (kSumShift - 1));
  const std::int64_t stride = r.from.stride;
  for (; x < end && r.inside(uq, vq); ++x, uq += du, vq += dv) {
    const CubicTaps& tu = taps_at(uq);
    const CubicTaps& tv = taps_at(vq);
    const Pixel* p = r.from.row(static_cast<std::int32_t>(vq >> kPositionBits) - 1) +
                     (static_cast<std::int32_t>(uq >> kPositionBits) - 1);
    const __m256i w01 = tap_pair(tu[0], tu[1]), w23 = tap_pair(tu[2], tu[3]);
    const __m256i rows01 = two_rows(p, p + stride);
    const __m256i rows23 = two_rows(p + 2 * stride, p + 3 * stride);
    const __m256i h01 =
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(rows01, pick01), w01),
                         _mm256_madd_epi16(_mm256_shuffle_epi8(rows01, pick23), w23));
    const __m256i h23 =
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(rows23, pick01), w01),
                         _mm256_madd_epi16(_mm256_shuffle_epi8(rows23, pick23), w23));
    const __m256i v01 = _mm256_setr_epi32(tv[0], tv[0], tv[0], tv[0], tv[1], tv[1], tv[1], tv[1]);
    const __m256i v23 = _mm256_setr_epi32(tv[2], tv[2], tv[2], tv[2], tv[3], tv[3], tv[3], tv[3]);
    const __m256i s = _mm256_add_epi32(_mm256_mullo_epi32(h01, v01), _mm256_mullo_epi32(h23, v23));
    __m128i t = _mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
    t = _mm_srai_epi32(_mm_add_epi32(t, half), kSumShift);
    t = _mm_packus_epi16(_mm_packs_epi32(t, t), t);
    out[x] = static_cast<Pixel>(_mm_cvtsi128_si32(t));
  }
  return x;
}
#endif

// A pixel near the picture's edges: taps outside it read black.
Pixel interpolate_edge(const Resampling& r, std::int64_t uq, std::int64_t vq) {
  const auto iu = static_cast<std::int32_t>(uq >> kPositionBits);
  const auto iv = static_cast<std::int32_t>(vq >> kPositionBits);
  const CubicTaps& tu = taps_at(uq);
  const CubicTaps& tv = taps_at(vq);
  std::int32_t blue = 0, green = 0, red = 0;
  for (int j = 0; j < 4; ++j) {
    const std::int32_t y = iv - 1 + j;
    if (y < 0 || y >= r.h) continue;
    std::int32_t hb = 0, hg = 0, hr = 0;
    for (int k = 0; k < 4; ++k) {
      const std::int32_t x = iu - 1 + k;
      if (x < 0 || x >= r.w) continue;
      const Pixel p = r.from.at(x, y);
      hb += tu[k] * blue_of(p);
      hg += tu[k] * green_of(p);
      hr += tu[k] * red_of(p);
    }
    blue += tv[j] * hb;
    green += tv[j] * hg;
    red += tv[j] * hr;
  }
  return make_pixel(clamp_component(red), clamp_component(green), clamp_component(blue));
}

// Rows y0 … y1 - 1, in strips of kStrip columns: the old pixels a strip's rows read stay in
// the cache from one row to the next.
void resample_rows(const Resampling& r, bool vector, std::int32_t y0, std::int32_t y1) {
  constexpr std::int32_t kStrip = 64;
  const std::int64_t c = r.plan.cosine, s = r.plan.sine;
  const std::int64_t a0 = 1 - std::int64_t{r.plan.width};
  const std::int64_t u_low = -kPixel, u_high = std::int64_t{r.w} * kPixel;
  const std::int64_t v_low = -kPixel, v_high = std::int64_t{r.h} * kPixel;
  for (std::int32_t x0 = 0; x0 < r.plan.width; x0 += kStrip) {
    const std::int32_t end = std::min(r.plan.width, x0 + kStrip);
    for (std::int32_t y = y0; y < y1; ++y) {
      const std::int64_t b = 2 * std::int64_t{y} + 1 - r.plan.height;
      const std::int64_t u0 = std::int64_t{r.w - 1} * kOne + a0 * c + b * s;
      const std::int64_t v0 = std::int64_t{r.h - 1} * kOne - a0 * s + b * c;
      Pixel* out = r.to.row(y);
      for (std::int32_t x = x0; x < end;) {
        const std::int64_t u = u0 + 2 * c * x, v = v0 - 2 * s * x;
        if (u < u_low || u > u_high || v < v_low || v > v_high) {
          out[x++] = 0;
          continue;
        }
        const std::int64_t uq = u + kHalfPhase, vq = v + kHalfPhase;
        if (!r.inside(uq, vq)) {
          out[x++] = interpolate_edge(r, uq, vq);
          continue;
        }
#ifdef VELDRAN_X86_KERNELS
        if (vector) {
          x = interpolate_run_avx2(r, uq, vq, 2 * c, -2 * s, x, end, out);
          continue;
        }
#endif
        x = interpolate_run(r, uq, vq, 2 * c, -2 * s, x, end, out);
      }
    }
  }
}

}  // namespace

CubicTaps cubic_taps(int phase) {
  return kTaps[static_cast<std::size_t>(phase & (kPhases - 1))];
}

RotationPlan plan_rotation(std::int32_t w, std::int32_t h, float degrees) {
  RotationPlan plan;
  plan.width = w;
  plan.height = h;
  plan.cosine = kOne;
  if (!std::isfinite(degrees)) return plan;
  double reduced = std::fmod(static_cast<double>(degrees), 360.0);
  if (reduced < 0) reduced += 360.0;
  if (reduced == 0 || reduced == 90 || reduced == 180 || reduced == 270) {
    plan.quarter_turns = static_cast<int>(reduced) / 90;
    plan.cosine = plan.quarter_turns % 2 == 0 ? (plan.quarter_turns == 0 ? kOne : -kOne) : 0;
    plan.sine = plan.quarter_turns % 2 == 1 ? (plan.quarter_turns == 1 ? kOne : -kOne) : 0;
    if (plan.quarter_turns % 2 == 1) std::swap(plan.width, plan.height);
    return plan;
  }
  const double radians = reduced * (3.14159265358979323846 / 180.0);
  plan.quarter_turns = -1;
  plan.cosine = std::llround(std::cos(radians) * static_cast<double>(kOne));
  plan.sine = std::llround(std::sin(radians) * static_cast<double>(kOne));
  plan.width = turned_side(w, h, plan.cosine, plan.sine, w);
  plan.height = turned_side(h, w, plan.cosine, plan.sine, h);
  return plan;
}

bool rotate_vector_supported() {
#ifdef VELDRAN_X86_KERNELS
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

platform::Status rotate_picture(ImageStore& store, float degrees, int threads,
                                bool vector_kernels) {
  if (!store.has_picture() || store.width > store.maxh || store.height > store.maxv) {
    return platform::Status::kNone;
  }
  const std::int32_t w = store.width, h = store.height;
  const RotationPlan plan = plan_rotation(w, h, degrees);
  if (plan.quarter_turns == 0) return platform::Status::kNone;
  if (plan.width > store.maxh || plan.height > store.maxv) return platform::Status::kSizeTooLarge;

  // The old picture moves to the processed image, which is rebuilt afterwards anyway.
  const Plane working = store.working();
  const Plane processed = store.processed();
  const int n = thread_count(threads);
  for_row_chunks(h, n, [&](std::int32_t y0, std::int32_t y1) {
    for (std::int32_t y = y0; y < y1; ++y) {
      const Pixel* in = working.row(y);
      Pixel* out = processed.row(y);
      for (std::int32_t x = 0; x < w; ++x) out[x] = in[x] & 0x00FFFFFF;
    }
  });
  if (plan.quarter_turns > 0) {
    for_row_chunks(plan.height, n, [&](std::int32_t y0, std::int32_t y1) {
      turn_quarters(processed, w, h, plan.quarter_turns, working, y0, y1);
    });
  } else {
    const Resampling r(processed, w, h, working, plan);
    const bool vector = vector_kernels && rotate_vector_supported();
    for_row_chunks(plan.height, n,
                   [&](std::int32_t y0, std::int32_t y1) { resample_rows(r, vector, y0, y1); });
  }
  store.width = plan.width;
  store.height = plan.height;
  return platform::Status::kNone;
}

}  // namespace img
