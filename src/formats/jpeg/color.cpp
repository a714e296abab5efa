#include "formats/jpeg/color.h"

namespace formats::jpeg {
namespace {

inline std::int32_t clamp_byte(std::int32_t v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// One block row; `hs` is the horizontal shift so that the loop has a fixed shape.
template <int hs>
[[gnu::always_inline]] inline void colour_row(const std::int32_t* luma, const std::int32_t* cb,
                                              const std::int32_t* cr, img::Pixel* out) {
  for (int c = 0; c < 8; ++c) {
    std::int32_t y = (luma[c] >> 10) + 32768;
    y = y < 0 ? 0 : y;
    const std::int32_t b_diff = cb[c >> hs] >> 18;
    const std::int32_t r_diff = cr[c >> hs] >> 18;
    const std::int32_t red = clamp_byte((y + 359 * r_diff) >> 8);
    const std::int32_t green = clamp_byte((y - 183 * r_diff - 88 * b_diff) >> 8);
    const std::int32_t blue = clamp_byte((y + 454 * b_diff) >> 8);
    out[c] = static_cast<img::Pixel>((red << 16) | (green << 8) | blue);
  }
}

[[gnu::always_inline]] inline void colour_body(const BlockColour& block, img::Pixel* out,
                                               std::int32_t stride) {
  for (int r = 0; r < 8; ++r) {
    const int crow = block.row0 + (r >> block.v_shift);
    const std::int32_t* cb = block.cb + crow * 8 + block.col0;
    const std::int32_t* cr = block.cr + crow * 8 + block.col0;
    img::Pixel* o = out + static_cast<std::int64_t>(r) * stride;
    if (block.h_shift) {
      colour_row<1>(block.luma + r * 8, cb, cr, o);
    } else {
      colour_row<0>(block.luma + r * 8, cb, cr, o);
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
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

ColourKernel select_colour_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return colour_block_avx2;
#endif
  return colour_block_generic;
}

}  // namespace formats::jpeg
