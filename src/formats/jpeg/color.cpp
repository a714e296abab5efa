#include "formats/jpeg/color.h"

#include <cstring>

namespace formats::jpeg {
namespace {

inline std::int32_t clamp_byte(std::int32_t v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

using I8 = std::int32_t __attribute__((vector_size(32), may_alias));

// max(v, 0) and min(v, 255) with shifts and masks, which every compiler vectorises.
[[gnu::always_inline]] inline void clamp_bytes(I8& v) {
  v &= ~(v >> 31);
  const I8 over = v - 255;
  v -= over & ~(over >> 31);
}

using I4 = std::int32_t __attribute__((vector_size(16), may_alias));

// (Vectors are passed by reference: a vector return value would change the plain ABI.)
[[gnu::always_inline]] inline void load8(const std::int32_t* p, I8& v) {
  std::memcpy(&v, p, sizeof v);
}

// Four colour-difference columns spread over eight pixels.
[[gnu::always_inline]] inline void load4_doubled(const std::int32_t* p, I8& out) {
  I4 v;
  std::memcpy(&v, p, sizeof v);
  out = __builtin_shufflevector(v, v, 0, 0, 1, 1, 2, 2, 3, 3);
}

[[gnu::always_inline]] inline void chroma_body(const std::int32_t* cb, const std::int32_t* cr,
                                               ChromaTerms& out) {
  for (int i = 0; i < 64; i += 8) {
    I8 b_diff, r_diff;
    load8(cb + i, b_diff);
    load8(cr + i, r_diff);
    b_diff >>= 18;
    r_diff >>= 18;
    const I8 red = 359 * r_diff;
    const I8 green = -183 * r_diff - 88 * b_diff;
    const I8 blue = 454 * b_diff;
    std::memcpy(out.red + i, &red, sizeof red);
    std::memcpy(out.green + i, &green, sizeof green);
    std::memcpy(out.blue + i, &blue, sizeof blue);
  }
}

[[gnu::always_inline]] inline void colour_body(const BlockColour& block, img::Pixel* out,
                                               std::int32_t stride) {
  const ChromaTerms& t = *block.chroma;
  for (int r = 0; r < 8; ++r) {
    const int at = (block.row0 + (r >> block.v_shift)) * 8 + block.col0;
    I8 y;
    load8(block.luma + r * 8, y);
    y = (y >> 10) + 32768;
    y &= ~(y >> 31);
    I8 red, green, blue;
    if (block.h_shift) {
      load4_doubled(t.red + at, red);
      load4_doubled(t.green + at, green);
      load4_doubled(t.blue + at, blue);
    } else {
      load8(t.red + at, red);
      load8(t.green + at, green);
      load8(t.blue + at, blue);
    }
    red = (y + red) >> 8;
    green = (y + green) >> 8;
    blue = (y + blue) >> 8;
    clamp_bytes(red);
    clamp_bytes(green);
    clamp_bytes(blue);
    const I8 pixels = (red << 16) | (green << 8) | blue;
    std::memcpy(out + static_cast<std::int64_t>(r) * stride, &pixels, sizeof pixels);
  }
}

// Without colour differences the three components are equal.
[[gnu::always_inline]] inline void grey_body(const BlockColour& block, img::Pixel* out,
                                             std::int32_t stride) {
  for (int r = 0; r < 8; ++r) {
    I8 y;
    std::memcpy(&y, block.luma + r * 8, sizeof y);
    y = (y >> 10) + 32768;
    y &= ~(y >> 31);
    I8 v = y >> 8;
    clamp_bytes(v);
    const I8 pixels = (v << 16) | (v << 8) | v;
    std::memcpy(out + static_cast<std::int64_t>(r) * stride, &pixels, sizeof pixels);
  }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void grey_block_avx2(const BlockColour& block, img::Pixel* out,
                                                     std::int32_t stride) {
  grey_body(block, out, stride);
}

__attribute__((target("avx2"))) void chroma_terms_avx2(const std::int32_t* cb,
                                                       const std::int32_t* cr, ChromaTerms& out) {
  chroma_body(cb, cr, out);
}

__attribute__((target("avx2"))) void colour_block_avx2(const BlockColour& block, img::Pixel* out,
                                                       std::int32_t stride) {
  colour_body(block, out, stride);
}
#endif

}  // namespace

img::Pixel colour_pixel_reference(const std::int32_t* luma, const std::int32_t* cb,
                                  const std::int32_t* cr, int h1, int v1, int bx, int by, int r,
                                  int c) {
  std::int32_t y = (luma[r * 8 + c] >> 10) + 32768;
  if (y < 0) y = 0;
  const int column = h1 == 1 ? c : (bx * 8 + c) >> 1;
  const int row = v1 == 1 ? r : (r >> 1) + by * 4;
  const std::int32_t b_diff = cb[row * 8 + column] >> 18;
  const std::int32_t r_diff = cr[row * 8 + column] >> 18;
  const std::int32_t red = clamp_byte((y + 359 * r_diff) >> 8);
  const std::int32_t green = clamp_byte((y - 183 * r_diff - 88 * b_diff) >> 8);
  const std::int32_t blue = clamp_byte((y + 454 * b_diff) >> 8);
  return img::make_pixel(red, green, blue);
}

void chroma_terms_generic(const std::int32_t* cb, const std::int32_t* cr, ChromaTerms& out) {
  chroma_body(cb, cr, out);
}

ChromaKernel select_chroma_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return chroma_terms_avx2;
#endif
  return chroma_terms_generic;
}

void colour_block_generic(const BlockColour& block, img::Pixel* out, std::int32_t stride) {
  colour_body(block, out, stride);
}

void grey_block_generic(const BlockColour& block, img::Pixel* out, std::int32_t stride) {
  grey_body(block, out, stride);
}

ColourKernel select_colour_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return colour_block_avx2;
#endif
  return colour_block_generic;
}

ColourKernel select_grey_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return grey_block_avx2;
#endif
  return grey_block_generic;
}

}  // namespace formats::jpeg
