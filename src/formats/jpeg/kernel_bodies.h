// The bodies of the transform and colour kernels, written with portable vector types and
// inlined into each function that is compiled for an instruction set: the kernels one by
// one, and the placement of whole MCU rows.
#pragma once

#include <cstdint>
#include <cstring>

#include "formats/jpeg/color.h"
#include "formats/jpeg/idct.h"
#include "formats/jpeg/tables.h"

namespace formats::jpeg::body {

using V16 = std::uint32_t __attribute__((vector_size(64), may_alias));

// The weighted basis images of the listed coefficients, added into accumulators that are
// named one by one so that they stay in registers. Unsigned arithmetic wraps like the
// two's-complement sums it stands for.
[[gnu::always_inline]] inline void sum(const BlockCoefs& block, const BasisTable& table,
                                       std::int32_t* samples) {
  V16 a0{};
  int k = 0;
  if (block.count > 0 && block.pos[0] == 0) {
    // Every weight of the DC coefficient is 32768: its basis image is flat.
    const auto dc = static_cast<std::uint32_t>(static_cast<std::int32_t>(block.value[0]));
    a0 += dc << 15;
    k = 1;
  }
  V16 a1 = a0, a2 = a0, a3 = a0;
  for (; k < block.count; ++k) {
    const auto f = static_cast<std::uint32_t>(static_cast<std::int32_t>(block.value[k]));
    const V16* b = reinterpret_cast<const V16*>(table.w[block.pos[k]]);
    a0 += b[0] * f;
    a1 += b[1] * f;
    a2 += b[2] * f;
    a3 += b[3] * f;
  }
  V16* out = reinterpret_cast<V16*>(samples);
  out[0] = a0;
  out[1] = a1;
  out[2] = a2;
  out[3] = a3;
}

using I8 = std::int32_t __attribute__((vector_size(32), may_alias));

// max(v, 0), as one instruction where there is one.
[[gnu::always_inline]] inline void clamp_low(I8& v) {
  v = v < 0 ? I8{} : v;
}

// min(max(v, 0), 255).
[[gnu::always_inline]] inline void clamp_bytes(I8& v) {
  clamp_low(v);
  v = v > 255 ? I8{} + 255 : v;
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

[[gnu::always_inline]] inline void chroma(const std::int32_t* cb, const std::int32_t* cr,
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

[[gnu::always_inline]] inline void colour(const BlockColour& block, img::Pixel* out,
                                          std::int32_t stride) {
  const ChromaTerms& t = *block.chroma;
  for (int r = 0; r < 8; ++r) {
    const int at = (block.row0 + (r >> block.v_shift)) * 8 + block.col0;
    I8 y;
    load8(block.luma + r * 8, y);
    y = (y >> 10) + 32768;
    clamp_low(y);
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

using I16 = std::int32_t __attribute__((vector_size(64), may_alias));

// Without colour differences the three components are equal. Two rows at a time.
[[gnu::always_inline]] inline void grey(const BlockColour& block, img::Pixel* out,
                                        std::int32_t stride) {
  for (int r = 0; r < 8; r += 2) {
    I16 y;
    std::memcpy(&y, block.luma + r * 8, sizeof y);
    y = (y >> 10) + 32768;
    y = y < 0 ? I16{} : y;
    I16 v = y >> 8;
    v = v > 255 ? I16{} + 255 : v;
    const I16 pixels = (v << 16) | (v << 8) | v;
    img::Pixel* row = out + static_cast<std::int64_t>(r) * stride;
    std::memcpy(row, &pixels, sizeof pixels / 2);
    std::memcpy(row + stride, reinterpret_cast<const char*>(&pixels) + sizeof pixels / 2,
                sizeof pixels / 2);
  }
}

}  // namespace formats::jpeg::body
