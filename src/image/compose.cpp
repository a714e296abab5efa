#include "image/compose.h"

#include <algorithm>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define VELDRAN_X86_KERNELS 1
#endif

namespace img {

namespace {

constexpr std::int64_t kUnit = 512;  // fixed-point units per source pixel
constexpr int kShift = 18;           // 512 x 512: the step and inverse factor scales
constexpr int kGroup = 4;            // taps a vector kernel takes at a time

// The weight of the piece of [s, e) that starts at s: the rest of the source pixel, or the
// rest of the interval when it ends inside that pixel.
inline std::int64_t piece_weight(std::int64_t s, std::int64_t e) {
  return (e / kUnit == s / kUnit) ? e - s : kUnit - s % kUnit;
}

// Taps one displayed column needs at most: the pixels an interval of `step` units can touch.
inline std::int64_t max_pieces(std::int64_t step) {
  return (step + kUnit - 2) / kUnit + 1;
}

inline Pixel pack(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return (red << 16) | (green << 8) | blue;
}

// One displayed pixel from one row's values or two, each with its multiplier.
inline Pixel finish_pixel(const std::uint32_t* v1, std::uint32_t m1, const std::uint32_t* v2,
                          std::uint32_t m2) {
  std::uint32_t c[3];
  for (int k = 0; k < 3; ++k) c[k] = (v1[k] * m1 + (v2 != nullptr ? v2[k] * m2 : 0)) >> kShift;
  return pack(c[2], c[1], c[0]);
}

void fill_black(Plane target, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1,
                std::int32_t off_x, std::int32_t off_y) {
  for (std::int32_t y = y0; y <= y1; ++y) {
    Pixel* out = target.row(y + off_y) + x0 + off_x;
    std::fill(out, out + (x1 - x0 + 1), Pixel{0});
  }
}

// Original size: each displayed pixel is its source pixel, byte 3 cleared.
void copy_rows(ConstPlane source, std::int32_t x0, std::int32_t x1, std::int32_t y0,
               std::int32_t y1, Plane target, std::int32_t off_x, std::int32_t off_y) {
  for (std::int32_t y = y0; y <= y1; ++y) {
    const Pixel* in = source.row(y) + x0;
    Pixel* out = target.row(y + off_y) + x0 + off_x;
    for (std::int32_t i = 0; i <= x1 - x0; ++i) out[i] = in[i] & 0x00FFFFFF;
  }
}

}  // namespace

AxisFactors axis_factors(std::int32_t source_size, std::int32_t display_size) {
  if (source_size < 1 || display_size < 1) return {};
  return {std::int64_t{source_size} * kUnit / display_size,
          std::int64_t{display_size} * kUnit / source_size};
}

void compose_reference(ConstPlane source, std::int32_t src_w, std::int32_t src_h,
                       std::int32_t display_w, std::int32_t display_h, std::int32_t x0,
                       std::int32_t x1, std::int32_t y0, std::int32_t y1, Plane target,
                       std::int32_t off_x, std::int32_t off_y) {
  if (display_w < 2 || display_h < 2) return;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, display_w - 1);
  y1 = std::min(y1, display_h - 1);
  if (x0 > x1 || y0 > y1) return;
  if (src_w < 1 || src_h < 1) return fill_black(target, x0, x1, y0, y1, off_x, off_y);
  const AxisFactors fx = axis_factors(src_w, display_w);
  const AxisFactors fy = axis_factors(src_h, display_h);
  // An inverse factor above 32 bits comes only with a step of 0, whose intervals are empty.
  const auto inv_x = static_cast<std::uint32_t>(fx.inverse);
  const auto inv_y = static_cast<std::uint32_t>(fy.inverse);
  for (std::int32_t y = y0; y <= y1; ++y) {
    for (std::int32_t x = x0; x <= x1; ++x) {
      std::uint32_t a[3] = {0, 0, 0};
      std::int64_t sy = y * fy.step;
      const std::int64_t ey = sy + fy.step;
      while (sy < ey) {
        const std::int64_t wy = piece_weight(sy, ey);
        const Pixel* row = source.row(static_cast<std::int32_t>(sy / kUnit));
        std::uint32_t r[3] = {0, 0, 0};
        std::int64_t sx = x * fx.step;
        const std::int64_t ex = sx + fx.step;
        while (sx < ex) {
          const auto wx = static_cast<std::uint32_t>(piece_weight(sx, ex));
          const Pixel p = row[sx / kUnit];
          for (int c = 0; c < 3; ++c) r[c] += ((p >> (8 * c)) & 0xFF) * wx;
          sx += wx;
        }
        for (int c = 0; c < 3; ++c) {
          a[c] += ((r[c] * inv_x) >> kShift) * static_cast<std::uint32_t>(wy);
        }
        sy += wy;
      }
      target.at(x + off_x, y + off_y) =
          pack((a[2] * inv_y) >> kShift, (a[1] * inv_y) >> kShift, (a[0] * inv_y) >> kShift);
    }
  }
}

bool ComposeWorkspace::vector_supported() {
#ifdef VELDRAN_X86_KERNELS
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

bool ComposeWorkspace::reserve(std::int32_t max_source_width, std::int32_t max_span_width) {
  const std::int64_t src = std::max<std::int32_t>(max_source_width, 1);
  const std::int64_t span = std::max<std::int32_t>(max_span_width, 1) + 1;
  // Windows of a span of n columns over a source of w hold fewer than 2w + 6(n + 1) taps:
  // each holds at most w / display + 2 pieces, rounded up to a multiple of 4.
  const std::int64_t taps = 2 * src + 6 * span + 16;
  try {
    starts_.assign(static_cast<std::size_t>(span), 0);
    weights_.assign(static_cast<std::size_t>(taps), 0);
    row_values_.assign(static_cast<std::size_t>(span * 8), 0);
    sums_.assign(static_cast<std::size_t>(span * 4), 0);
    vector_weights_.clear();
    vector_ = vector_supported();
    if (vector_) vector_weights_.assign(static_cast<std::size_t>(taps * 4 + 32), 0);
  } catch (...) {
    *this = ComposeWorkspace();
    return false;
  }
  tap_capacity_ = taps;
  span_capacity_ = span;
  return true;
}

// One compose with the fast method: each source row's values are computed once, from a table
// of fixed-width windows of weights built once per compose, then summed down the columns.
class ComposeRun {
 public:
  ComposeRun(ComposeWorkspace& ws, ConstPlane source, std::int32_t src_w, std::int32_t src_h,
             AxisFactors fx, AxisFactors fy, std::int32_t x0, std::int32_t x1)
      : ws_(ws),
        source_(source),
        fx_(fx),
        fy_(fy),
        x0_(x0),
        columns_(x1 - x0 + 1),
        src_w_(src_w),
        src_h_(src_h) {
    taps_ = static_cast<std::int32_t>(max_pieces(fx.step));
    taps_ = (taps_ + kGroup - 1) / kGroup * kGroup;
    if (taps_ > src_w) taps_ = src_w;  // tiny sources: one window covers the row
    vector_ = ws.vector_ && taps_ % kGroup == 0;
  }

  bool fits() const {
    return windows() <= ws_.span_capacity_ && std::int64_t{windows()} * taps_ <= ws_.tap_capacity_;
  }

  void run(std::int32_t y0, std::int32_t y1, Plane target, std::int32_t off_x, std::int32_t off_y);

 private:
  // An even number of windows, for the kernels that take columns in pairs.
  std::int32_t windows() const { return (columns_ + 1) / 2 * 2; }
  void build_windows();
  // The values of source row j: from the two rows held, else computed in place of the one
  // used less recently. Displayed rows move forward through the source and share at most
  // one source row, so every source row is computed once.
  const std::uint32_t* values_of(std::int64_t j);
  std::uint32_t* values_buffer(int k) {
    return ws_.row_values_.data() + std::int64_t{k} * ws_.span_capacity_ * 4;
  }
  void row_values(std::int32_t j, std::uint32_t* out);
  void add_row(bool first, std::uint32_t weight, const std::uint32_t* values);
  // Adds source row j, which only this displayed row covers and wholly, to the sums.
  void add_whole_row(bool first, std::int32_t j);
  void finish(const std::uint32_t* v1, std::uint32_t m1, const std::uint32_t* v2, std::uint32_t m2,
              Pixel* out) const;

  ComposeWorkspace& ws_;
  ConstPlane source_;
  AxisFactors fx_, fy_;
  std::int32_t x0_, columns_, src_w_, src_h_;
  std::int32_t taps_ = 0;  // weights per window: a multiple of 4, or the whole source row
  bool vector_ = false;
  std::int64_t held_[2] = {-1, -1};  // source rows whose values the two buffers hold
  int recent_ = 0;
};

void ComposeRun::build_windows() {
  const std::int32_t windows = this->windows();
  std::int16_t* w = ws_.weights_.data();
  std::fill(w, w + std::int64_t{windows} * taps_, std::int16_t{0});
  for (std::int32_t k = 0; k < columns_; ++k) {
    std::int64_t s = (x0_ + k) * fx_.step;
    const std::int64_t e = s + fx_.step;
    const auto first = static_cast<std::int32_t>(s / kUnit);
    // Windows near the right edge slide left so that they never read past the row.
    const std::int32_t start = std::min(first, src_w_ - taps_);
    ws_.starts_[k] = start;
    std::int16_t* wk = w + std::int64_t{k} * taps_;
    while (s < e) {
      const std::int64_t piece = piece_weight(s, e);
      wk[s / kUnit - start] = static_cast<std::int16_t>(piece);
      s += piece;
    }
  }
  if (windows > columns_) ws_.starts_[columns_] = ws_.starts_[columns_ - 1];
  if (!vector_) return;
  // Per pair of columns and group of four taps: the weights of taps (0, 1) and (2, 3), each
  // pair repeated over the four lanes of a column's half of the register.
  std::int16_t* v = ws_.vector_weights_.data();
  const std::int32_t groups = taps_ / kGroup;
  for (std::int32_t k = 0; k < windows; k += 2) {
    for (std::int32_t g = 0; g < groups; ++g) {
      for (int half = 0; half < 2; ++half) {
        for (int col = 0; col < 2; ++col) {
          const std::int16_t* wk = w + std::int64_t{k + col} * taps_ + g * kGroup + half * 2;
          for (int lane = 0; lane < 4; ++lane) {
            v[half * 16 + col * 8 + lane * 2] = wk[0];
            v[half * 16 + col * 8 + lane * 2 + 1] = wk[1];
          }
        }
      }
      v += 32;
    }
  }
}

#ifdef VELDRAN_X86_KERNELS
namespace {

// Row values of pairs of columns: the pixels of both windows are spread into 16-bit pairs of
// neighbouring taps per colour, multiplied by their weights and added in 32-bit lanes. The
// same place of the next source row is fetched into the cache meanwhile, which keeps a
// shrink from waiting on memory. kGroups is the number of 4-tap groups, 0 when not fixed.
// A row of weight 512 in a single displayed row is added to (kSum == 2) or starts (1) the
// sums shifted by 9 at once instead of being stored (0).
template <int kGroups, int kSum>
__attribute__((target("avx2"))) void row_values_avx2(const Pixel* row, const Pixel* next_row,
                                                     const std::int32_t* starts,
                                                     const std::int16_t* weights,
                                                     std::int32_t pairs, std::int32_t groups,
                                                     std::uint32_t inverse, std::uint32_t* out) {
  const __m256i taps01 = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1,
                                          0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1);
  const __m256i taps23 =
      _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1, 8, -1, 12, -1,
                       9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1);
  const __m256i inv = _mm256_set1_epi32(static_cast<int>(inverse));
  if (kGroups != 0) groups = kGroups;
  for (std::int32_t p = 0; p < pairs; ++p) {
    const Pixel* a = row + starts[2 * p];
    const Pixel* b = row + starts[2 * p + 1];
    _mm_prefetch(reinterpret_cast<const char*>(next_row + starts[2 * p]), _MM_HINT_T1);
    __m256i sum = _mm256_setzero_si256();
    for (std::int32_t g = 0; g < groups; ++g) {
      const __m256i px = _mm256_inserti128_si256(
          _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * g))),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * g)), 1);
      const __m256i w01 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights));
      const __m256i w23 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 16));
      sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_shuffle_epi8(px, taps01), w01));
      sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_shuffle_epi8(px, taps23), w23));
      weights += 32;
    }
    sum = _mm256_srli_epi32(_mm256_mullo_epi32(sum, inv), kShift);
    auto* o = reinterpret_cast<__m256i*>(out + 8 * p);
    if (kSum == 0) _mm256_storeu_si256(o, sum);
    if (kSum == 1) _mm256_storeu_si256(o, _mm256_slli_epi32(sum, 9));
    if (kSum == 2)
      _mm256_storeu_si256(o, _mm256_add_epi32(_mm256_loadu_si256(o), _mm256_slli_epi32(sum, 9)));
  }
}

// Row values are below 256 and weights at most 512, so one 16-bit multiply-add per lane.
__attribute__((target("avx2"))) void add_row_avx2(std::uint32_t* sums, const std::uint32_t* values,
                                                  std::int32_t lanes, bool first,
                                                  std::uint32_t weight) {
  const __m256i w = _mm256_set1_epi32(static_cast<int>(weight));
  for (std::int32_t i = 0; i < lanes; i += 8) {
    const __m256i v =
        _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i)), w);
    auto* s = reinterpret_cast<__m256i*>(sums + i);
    _mm256_storeu_si256(s, first ? v : _mm256_add_epi32(_mm256_loadu_si256(s), v));
  }
}

// Two displayed columns: (values x multiplier [+ values2 x multiplier2]) >> 18.
template <bool kTwo>
__attribute__((target("avx2"))) inline __m256i scaled(const std::uint32_t* v1, __m256i m1,
                                                      const std::uint32_t* v2, __m256i m2,
                                                      std::int32_t x) {
  __m256i s =
      _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v1 + 4 * x)), m1);
  if (kTwo) {
    s = _mm256_add_epi32(
        s,
        _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v2 + 4 * x)), m2));
  }
  return _mm256_srli_epi32(s, kShift);
}

// Scales and packs eight pixels at a time; the rest one by one.
template <bool kTwo>
__attribute__((target("avx2"))) void finish_avx2(const std::uint32_t* v1, std::uint32_t m1,
                                                 const std::uint32_t* v2, std::uint32_t m2,
                                                 std::int32_t columns, Pixel* out) {
  const __m256i a = _mm256_set1_epi32(static_cast<int>(m1));
  const __m256i b = _mm256_set1_epi32(static_cast<int>(m2));
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  std::int32_t x = 0;
  for (; x + 8 <= columns; x += 8) {
    const __m256i lo =
        _mm256_packus_epi32(scaled<kTwo>(v1, a, v2, b, x), scaled<kTwo>(v1, a, v2, b, x + 2));
    const __m256i hi =
        _mm256_packus_epi32(scaled<kTwo>(v1, a, v2, b, x + 4), scaled<kTwo>(v1, a, v2, b, x + 6));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(lo, hi), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), bytes);
  }
  for (; x < columns; ++x) out[x] = finish_pixel(v1 + 4 * x, m1, kTwo ? v2 + 4 * x : nullptr, m2);
}

}  // namespace
#endif

void ComposeRun::row_values(std::int32_t j, std::uint32_t* out) {
  const Pixel* row = source_.row(j);
  const auto inv = static_cast<std::uint32_t>(fx_.inverse);
#ifdef VELDRAN_X86_KERNELS
  if (vector_) {
    const Pixel* next = j + 1 < src_h_ ? source_.row(j + 1) : row;
    const std::int32_t groups = taps_ / kGroup;
    auto* kernel = groups == 1   ? row_values_avx2<1, 0>
                   : groups == 2 ? row_values_avx2<2, 0>
                                 : row_values_avx2<0, 0>;
    kernel(row, next, ws_.starts_.data(), ws_.vector_weights_.data(), windows() / 2, groups, inv,
           out);
    return;
  }
#endif
  const std::int16_t* w = ws_.weights_.data();
  for (std::int32_t k = 0; k < columns_; ++k, w += taps_) {
    const Pixel* p = row + ws_.starts_[k];
    std::uint32_t blue = 0, green = 0, red = 0;
    for (std::int32_t t = 0; t < taps_; ++t) {
      const auto wt = static_cast<std::uint32_t>(w[t]);
      blue += (p[t] & 0xFF) * wt;
      green += ((p[t] >> 8) & 0xFF) * wt;
      red += ((p[t] >> 16) & 0xFF) * wt;
    }
    out[4 * k] = (blue * inv) >> kShift;
    out[4 * k + 1] = (green * inv) >> kShift;
    out[4 * k + 2] = (red * inv) >> kShift;
    out[4 * k + 3] = 0;
  }
}

const std::uint32_t* ComposeRun::values_of(std::int64_t j) {
  for (int k = 0; k < 2; ++k) {
    if (held_[k] == j) {
      recent_ = k;
      return values_buffer(k);
    }
  }
  recent_ = 1 - recent_;
  held_[recent_] = j;
  row_values(static_cast<std::int32_t>(j), values_buffer(recent_));
  return values_buffer(recent_);
}

void ComposeRun::add_whole_row(bool first, std::int32_t j) {
#ifdef VELDRAN_X86_KERNELS
  const Pixel* row = source_.row(j);
  const Pixel* next = j + 1 < src_h_ ? source_.row(j + 1) : row;
  const std::int32_t groups = taps_ / kGroup;
  auto* kernel = first ? (groups == 2 ? row_values_avx2<2, 1> : row_values_avx2<0, 1>)
                       : (groups == 2 ? row_values_avx2<2, 2> : row_values_avx2<0, 2>);
  kernel(row, next, ws_.starts_.data(), ws_.vector_weights_.data(), windows() / 2, groups,
         static_cast<std::uint32_t>(fx_.inverse), ws_.sums_.data());
#else
  add_row(first, kUnit, values_of(j));
#endif
}

void ComposeRun::add_row(bool first, std::uint32_t weight, const std::uint32_t* values) {
  std::uint32_t* sums = ws_.sums_.data();
#ifdef VELDRAN_X86_KERNELS
  if (ws_.vector_) return add_row_avx2(sums, values, windows() * 4, first, weight);
#endif
  const std::int32_t lanes = columns_ * 4;
  if (first) {
    for (std::int32_t i = 0; i < lanes; ++i) sums[i] = values[i] * weight;
  } else {
    for (std::int32_t i = 0; i < lanes; ++i) sums[i] += values[i] * weight;
  }
}

void ComposeRun::finish(const std::uint32_t* v1, std::uint32_t m1, const std::uint32_t* v2,
                        std::uint32_t m2, Pixel* out) const {
#ifdef VELDRAN_X86_KERNELS
  if (ws_.vector_) {
    if (v2 != nullptr) return finish_avx2<true>(v1, m1, v2, m2, columns_, out);
    return finish_avx2<false>(v1, m1, v2, m2, columns_, out);
  }
#endif
  for (std::int32_t k = 0; k < columns_; ++k) {
    out[k] = finish_pixel(v1 + 4 * k, m1, v2 != nullptr ? v2 + 4 * k : nullptr, m2);
  }
}

void ComposeRun::run(std::int32_t y0, std::int32_t y1, Plane target, std::int32_t off_x,
                     std::int32_t off_y) {
  build_windows();
  const auto inv = static_cast<std::uint32_t>(fy_.inverse);
  for (std::int32_t y = y0; y <= y1; ++y) {
    std::int64_t s = y * fy_.step;
    const std::int64_t e = s + fy_.step;
    Pixel* out = target.row(y + off_y) + x0_ + off_x;
    const std::int64_t first_row = s / kUnit, last_row = (e - 1) / kUnit;
    if (last_row - first_row <= 1) {
      // One or two source rows: (r1 w1 + r2 w2) x inv equals r1 (w1 inv) + r2 (w2 inv)
      // exactly, as no sum reaches 2^32, so each row is scaled once and no sums are kept.
      const auto w1 = static_cast<std::uint32_t>(piece_weight(s, e));
      const std::uint32_t* v1 = values_of(first_row);
      if (first_row == last_row) {
        finish(v1, w1 * inv, nullptr, 0, out);
      } else {
        const auto w2 = static_cast<std::uint32_t>(e - s - w1);
        const std::uint32_t* v2 = values_of(last_row);
        finish(v1, w1 * inv, v2, w2 * inv, out);
      }
      continue;
    }
    bool first = true;
    while (s < e) {
      const std::int64_t weight = piece_weight(s, e);
      if (weight == kUnit && vector_) {
        add_whole_row(first, static_cast<std::int32_t>(s / kUnit));
      } else {
        add_row(first, static_cast<std::uint32_t>(weight), values_of(s / kUnit));
      }
      first = false;
      s += weight;
    }
    finish(ws_.sums_.data(), inv, nullptr, 0, out);
  }
}

void compose(ConstPlane source, std::int32_t src_w, std::int32_t src_h, std::int32_t display_w,
             std::int32_t display_h, std::int32_t x0, std::int32_t x1, std::int32_t y0,
             std::int32_t y1, Plane target, std::int32_t off_x, std::int32_t off_y,
             ComposeWorkspace& workspace) {
  if (display_w < 2 || display_h < 2) return;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, display_w - 1);
  y1 = std::min(y1, display_h - 1);
  if (x0 > x1 || y0 > y1) return;
  if (src_w < 1 || src_h < 1) return fill_black(target, x0, x1, y0, y1, off_x, off_y);
  const AxisFactors fx = axis_factors(src_w, display_w);
  const AxisFactors fy = axis_factors(src_h, display_h);
  // A step of 0 (enlarged more than 512 times) walks empty intervals and an inverse factor of
  // 0 (reduced more than 512 times) scales every sum to 0: either way the pixels are black.
  if (fx.step == 0 || fy.step == 0 || fx.inverse == 0 || fy.inverse == 0) {
    return fill_black(target, x0, x1, y0, y1, off_x, off_y);
  }
  if (fx.step == kUnit && fx.inverse == kUnit && fy.step == kUnit && fy.inverse == kUnit) {
    return copy_rows(source, x0, x1, y0, y1, target, off_x, off_y);
  }
  ComposeRun run(workspace, source, src_w, src_h, fx, fy, x0, x1);
  if (!run.fits()) {
    return compose_reference(source, src_w, src_h, display_w, display_h, x0, x1, y0, y1, target,
                             off_x, off_y);
  }
  run.run(y0, y1, target, off_x, off_y);
}

}  // namespace img
