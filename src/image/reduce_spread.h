// Floyd-Steinberg error diffusion in scan order: the error of each pixel goes 7/16 to the
// right, 3/16 below left, 5/16 below and 1/16 below right, each share rounded towards minus
// infinity and added to the neighbour's component with a clamp to 0..255 right after.
#pragma once

#include <cstdint>

#include "image/plane.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace img::spread {

constexpr std::int32_t clamp_byte(std::int32_t v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

constexpr std::int32_t right_share(std::int32_t e) {
  return (7 * e) >> 4;
}

// What a quantiser returns for one pixel: the colour to write (byte 3 zero) and the share
// of each component's error that goes to the right neighbour.
struct Step {
  Pixel out;
  std::int32_t right_blue, right_green, right_red;
};

#if defined(__SSE2__)
// The row below as a window of the four pixels x-1 .. x+2 in one register. Pixel x-1 has
// all its shares from this row once pixel x is done, and is stored then.
class RowBelow {
 public:
  RowBelow(Pixel* below, std::int32_t w, Pixel carried) : below_(below), w_(w) {
    const __m128i c = _mm_cvtsi32_si128(static_cast<int>(carried));
    keep_ = _mm_unpacklo_epi8(c, c);
    if (below_ == nullptr) return;
    window_ = _mm_slli_si128(load(below_), 4);
    if (w > 1) window_ = _mm_or_si128(window_, _mm_slli_si128(load(below_ + 1), 8));
    if (w > 2) window_ = _mm_or_si128(window_, _mm_slli_si128(load(below_ + 2), 12));
  }
  bool active() const { return below_ != nullptr; }

  // Spreads the error of pixel x: `before` is the pixel quantised, `out` what was written.
  void add(std::int32_t x, Pixel before, Pixel out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i e = _mm_and_si128(
        _mm_sub_epi16(_mm_unpacklo_epi8(load(&before), zero), _mm_unpacklo_epi8(load(&out), zero)),
        keep_);  // lanes 0..2 the errors of carried components; lanes 3..7 zero
    const __m128i first = _mm_srai_epi16(
        _mm_mullo_epi16(_mm_unpacklo_epi64(e, e), _mm_setr_epi16(3, 3, 3, 3, 5, 5, 5, 5)), 4);
    const __m128i last = _mm_srai_epi16(e, 4);
    window_ =
        _mm_subs_epu8(_mm_adds_epu8(window_, _mm_packus_epi16(first, last)),
                      _mm_packus_epi16(_mm_sub_epi16(zero, first), _mm_sub_epi16(zero, last)));
    if (x >= 1) below_[x - 1] = static_cast<Pixel>(_mm_cvtsi128_si32(window_));
    window_ = _mm_srli_si128(window_, 4);
    if (x + 3 < w_) window_ = _mm_or_si128(window_, _mm_slli_si128(load(below_ + x + 3), 12));
  }
  void finish() {
    if (below_ != nullptr) below_[w_ - 1] = static_cast<Pixel>(_mm_cvtsi128_si32(window_));
  }

 private:
  static __m128i load(const Pixel* at) { return _mm_cvtsi32_si128(static_cast<int>(*at)); }
  Pixel* below_;
  std::int32_t w_;
  __m128i keep_;
  __m128i window_ = _mm_setzero_si128();
};
#else
// Portable version: the shares are added to the row below as they are made.
class RowBelow {
 public:
  RowBelow(Pixel* below, std::int32_t w, Pixel carried) : below_(below), w_(w), carried_(carried) {}
  bool active() const { return below_ != nullptr; }
  void add(std::int32_t x, Pixel before, Pixel out) {
    for (int shift = 0; shift < 24; shift += 8) {
      if (((carried_ >> shift) & 0xFF) == 0) continue;
      const std::int32_t e = static_cast<std::int32_t>((before >> shift) & 0xFF) -
                             static_cast<std::int32_t>((out >> shift) & 0xFF);
      if (x > 0) add_to(below_[x - 1], shift, (3 * e) >> 4);
      add_to(below_[x], shift, (5 * e) >> 4);
      if (x + 1 < w_) add_to(below_[x + 1], shift, e >> 4);
    }
  }
  void finish() {}

 private:
  static void add_to(Pixel& q, int shift, std::int32_t share) {
    const std::int32_t v = clamp_byte(static_cast<std::int32_t>((q >> shift) & 0xFF) + share);
    q = (q & ~(Pixel{0xFF} << shift)) | (static_cast<Pixel>(v) << shift);
  }
  Pixel* below_;
  std::int32_t w_;
  Pixel carried_;
};
#endif

// Error diffusion of the top-left w x h pixels of `p`. `quantise(b, g, r)` gets the
// components with the errors diffused into them and returns a Step. Only the components
// whose byte is 0xFF in `carried` pass errors to the row below (0x0000FF: blue only).
template <typename Quantise>
void diffuse(Plane p, std::int32_t w, std::int32_t h, Pixel carried, Quantise quantise) {
  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    RowBelow below(y + 1 < h ? p.row(y + 1) : nullptr, w, carried);
    // The right neighbour receives nothing between its left neighbour's turn and its own,
    // so its share is simply carried along.
    std::int32_t rb = 0, rg = 0, rr = 0;
    for (std::int32_t x = 0; x < w; ++x) {
      const Pixel q = row[x];
      const std::int32_t b = clamp_byte(static_cast<std::int32_t>(q & 0xFF) + rb);
      const std::int32_t g = clamp_byte(static_cast<std::int32_t>((q >> 8) & 0xFF) + rg);
      const std::int32_t r = clamp_byte(static_cast<std::int32_t>((q >> 16) & 0xFF) + rr);
      const Step s = quantise(b, g, r);
      row[x] = (q & 0xFF000000u) | s.out;
      rb = s.right_blue;
      rg = s.right_green;
      rr = s.right_red;
      if (below.active()) {
        below.add(x, static_cast<Pixel>((r << 16) | (g << 8) | b), s.out);
      }
    }
    below.finish();
  }
}

}  // namespace img::spread
