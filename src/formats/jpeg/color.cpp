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

// One block row of 8 pixels from 8 luminance samples and 8 (already replicated) colour
// difference samples.
[[gnu::always_inline]] inline void colour_row(const std::int32_t* luma, const I8& b_row,
                                              const I8& r_row, img::Pixel* out) {
  I8 y;
  std::memcpy(&y, luma, sizeof y);
  y = (y >> 10) + 32768;
  y &= ~(y >> 31);
  const I8 b_diff = b_row >> 18;
  const I8 r_diff = r_row >> 18;
  I8 red = (y + 359 * r_diff) >> 8;
  I8 green = (y - 183 * r_diff - 88 * b_diff) >> 8;
  I8 blue = (y + 454 * b_diff) >> 8;
  clamp_bytes(red);
  clamp_bytes(green);
  clamp_bytes(blue);
  const I8 pixels = (red << 16) | (green << 8) | blue;
  std::memcpy(out, &pixels, sizeof pixels);
}

[[gnu::always_inline]] inline void colour_body(const BlockColour& block, img::Pixel* out,
                                               std::int32_t stride) {
  for (int r = 0; r < 8; ++r) {
    const int crow = block.row0 + (r >> block.v_shift);
    const std::int32_t* cb = block.cb + crow * 8 + block.col0;
    const std::int32_t* cr = block.cr + crow * 8 + block.col0;
    I8 b_row;
    I8 r_row;
    if (block.h_shift) {
      for (int c = 0; c < 8; ++c) {
        b_row[c] = cb[c >> 1];
        r_row[c] = cr[c >> 1];
      }
    } else {
      std::memcpy(&b_row, cb, sizeof b_row);
      std::memcpy(&r_row, cr, sizeof r_row);
    }
    colour_row(block.luma + r * 8, b_row, r_row, out + static_cast<std::int64_t>(r) * stride);
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
    const I8 pixels = v * 0x010101;
    std::memcpy(out + static_cast<std::int64_t>(r) * stride, &pixels, sizeof pixels);
  }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void grey_block_avx2(const BlockColour& block, img::Pixel* out,
                                                     std::int32_t stride) {
  grey_body(block, out, stride);
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
