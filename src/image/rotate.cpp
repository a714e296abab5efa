#include "image/rotate.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace img {

namespace {

constexpr std::int64_t kOne = std::int64_t{1} << kTrigBits;
constexpr std::int64_t kPixel = std::int64_t{1} << kPositionBits;
constexpr std::int64_t kHalfPhase = std::int64_t{1} << (kPositionBits - kPhaseBits - 1);
constexpr int kPhases = 1 << kPhaseBits;
constexpr int kSumShift = 2 * kTapBits;
constexpr int kRowsPerChunk = 16;

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

// One resampled rotation: the plan and both pictures.
struct Resampling {
  ConstPlane from;
  std::int32_t w, h;
  Plane to;
  RotationPlan plan;
};

// The pixel at rounded position (uq, vq) when all sixteen taps lie inside the old picture.
inline Pixel interpolate_inside(const Resampling& r, std::int64_t uq, std::int64_t vq) {
  const auto iu = static_cast<std::int32_t>(uq >> kPositionBits);
  const auto iv = static_cast<std::int32_t>(vq >> kPositionBits);
  const CubicTaps& tu =
      kTaps[static_cast<std::size_t>((uq >> (kPositionBits - kPhaseBits)) & (kPhases - 1))];
  const CubicTaps& tv =
      kTaps[static_cast<std::size_t>((vq >> (kPositionBits - kPhaseBits)) & (kPhases - 1))];
  std::int32_t blue = 0, green = 0, red = 0;
  for (int j = 0; j < 4; ++j) {
    const Pixel* p = r.from.row(iv - 1 + j) + (iu - 1);
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
  return make_pixel(clamp_component(red), clamp_component(green), clamp_component(blue));
}

// The same near the picture's edges: taps outside it read black.
Pixel interpolate_edge(const Resampling& r, std::int64_t uq, std::int64_t vq) {
  const auto iu = static_cast<std::int32_t>(uq >> kPositionBits);
  const auto iv = static_cast<std::int32_t>(vq >> kPositionBits);
  const CubicTaps& tu =
      kTaps[static_cast<std::size_t>((uq >> (kPositionBits - kPhaseBits)) & (kPhases - 1))];
  const CubicTaps& tv =
      kTaps[static_cast<std::size_t>((vq >> (kPositionBits - kPhaseBits)) & (kPhases - 1))];
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

void resample_rows(const Resampling& r, std::int32_t y0, std::int32_t y1) {
  const std::int64_t c = r.plan.cosine, s = r.plan.sine;
  const std::int64_t a0 = 1 - std::int64_t{r.plan.width};
  const std::int64_t u_low = -kPixel, u_high = std::int64_t{r.w} * kPixel;
  const std::int64_t v_low = -kPixel, v_high = std::int64_t{r.h} * kPixel;
  // Rounded positions whose taps all lie inside: 1 <= floor <= size - 3.
  const std::int64_t uq_low = kPixel, uq_high = std::int64_t{r.w - 2} * kPixel;
  const std::int64_t vq_low = kPixel, vq_high = std::int64_t{r.h - 2} * kPixel;
  for (std::int32_t y = y0; y < y1; ++y) {
    const std::int64_t b = 2 * std::int64_t{y} + 1 - r.plan.height;
    std::int64_t u = std::int64_t{r.w - 1} * kOne + a0 * c + b * s;
    std::int64_t v = std::int64_t{r.h - 1} * kOne - a0 * s + b * c;
    Pixel* out = r.to.row(y);
    for (std::int32_t x = 0; x < r.plan.width; ++x, u += 2 * c, v -= 2 * s) {
      if (u < u_low || u > u_high || v < v_low || v > v_high) {
        out[x] = 0;
        continue;
      }
      const std::int64_t uq = u + kHalfPhase, vq = v + kHalfPhase;
      out[x] = uq >= uq_low && uq < uq_high && vq >= vq_low && vq < vq_high
                   ? interpolate_inside(r, uq, vq)
                   : interpolate_edge(r, uq, vq);
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

platform::Status rotate_picture(ImageStore& store, float degrees, int threads) {
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
    const Resampling r{processed, w, h, working, plan};
    for_row_chunks(plan.height, n,
                   [&](std::int32_t y0, std::int32_t y1) { resample_rows(r, y0, y1); });
  }
  store.width = plan.width;
  store.height = plan.height;
  return platform::Status::kNone;
}

}  // namespace img
