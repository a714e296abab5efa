#include "formats/jpeg/color.h"

#include "formats/jpeg/kernel_bodies.h"

namespace formats::jpeg {
namespace {

inline std::int32_t clamp_byte(std::int32_t v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void grey_block_avx2(const BlockColour& block, img::Pixel* out,
                                                     std::int32_t stride) {
  body::grey(block, out, stride);
}

__attribute__((target("avx2"))) void chroma_terms_avx2(const std::int32_t* cb,
                                                       const std::int32_t* cr, ChromaTerms& out) {
  body::chroma(cb, cr, out);
}

__attribute__((target("avx2"))) void colour_block_avx2(const BlockColour& block, img::Pixel* out,
                                                       std::int32_t stride) {
  body::colour(block, out, stride);
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
  body::chroma(cb, cr, out);
}

ChromaKernel select_chroma_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return chroma_terms_avx2;
#endif
  return chroma_terms_generic;
}

void colour_block_generic(const BlockColour& block, img::Pixel* out, std::int32_t stride) {
  body::colour(block, out, stride);
}

void grey_block_generic(const BlockColour& block, img::Pixel* out, std::int32_t stride) {
  body::grey(block, out, stride);
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
