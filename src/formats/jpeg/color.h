// Colour conversion of one 8 x 8 luminance block into pixel words, with the colour
// differences of the MCU replicated over 2 x 2, 2 x 1 or 1 x 2 pixels.
#pragma once

#include <cstdint>

#include "image/plane.h"

namespace formats::jpeg {

// What the colour differences of an MCU add to the scaled luminance of each of its pixels,
// one entry per colour-difference sample: 359 Cr for red, -183 Cr - 88 Cb for green,
// 454 Cb for blue (Cb and Cr being the samples shifted down by 18).
struct alignas(64) ChromaTerms {
  std::int32_t red[64];
  std::int32_t green[64];
  std::int32_t blue[64];
};

struct BlockColour {
  const std::int32_t* luma;   // 64 samples scaled by 2^18, row-major
  const ChromaTerms* chroma;  // the MCU's (unused for grey)
  int h_shift;  // 1 when the luminance is sampled twice across (colour column = c >> 1)
  int v_shift;  // 1 when it is sampled twice down
  int col0;     // first colour-difference column of this block (0 or 4)
  int row0;     // first colour-difference row of this block (0 or 4)
};

// Computes the terms from the blue and red colour-difference samples of an MCU.
using ChromaKernel = void (*)(const std::int32_t* cb, const std::int32_t* cr, ChromaTerms& out);
void chroma_terms_generic(const std::int32_t* cb, const std::int32_t* cr, ChromaTerms& out);
ChromaKernel select_chroma_kernel();

// The rule for one pixel, written out plainly: pixel (c, r) of luminance block (bx, by)
// (counted from 0) of an MCU sampled h1 x v1.
img::Pixel colour_pixel_reference(const std::int32_t* luma, const std::int32_t* cb,
                                  const std::int32_t* cr, int h1, int v1, int bx, int by, int r,
                                  int c);

// Writes the block's 64 pixels at `out` (row stride in pixel words). (The placement of MCU
// rows inlines the same bodies; these calls check them one block at a time.)
using ColourKernel = void (*)(const BlockColour& block, img::Pixel* out, std::int32_t stride);

void colour_block_generic(const BlockColour& block, img::Pixel* out, std::int32_t stride);

ColourKernel select_colour_kernel();

// The same for a block whose colour differences are zero (a grey picture).
void grey_block_generic(const BlockColour& block, img::Pixel* out, std::int32_t stride);
ColourKernel select_grey_kernel();

}  // namespace formats::jpeg
