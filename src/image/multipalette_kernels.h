// The inner loops of the multipalette stage: distances from many colours to the colours of
// one palette, eight at a time. Every kernel is integer arithmetic, so the AVX2 build and the
// plain build give the same bits.
#pragma once

#include <cstdint>

#include "image/plane.h"

namespace img::multipalette {

constexpr int kMaxColours = 256;

// A palette while the stage works on it: colours in 8-bit units, component by component,
// and red and green packed as two 16-bit halves for the kernels.
struct Colours {
  std::int32_t count = 0;
  alignas(32) std::int32_t r[kMaxColours];
  alignas(32) std::int32_t g[kMaxColours];
  alignas(32) std::int32_t b[kMaxColours];
  alignas(32) std::int32_t rg[kMaxColours];

  void set(std::int32_t j, std::int32_t red, std::int32_t green, std::int32_t blue) {
    r[j] = red;
    g[j] = green;
    b[j] = blue;
    rg[j] = (red << 16) | green;
  }
};

// Weighted colours (zone summaries) as pixel words and weights; readable 7 entries past the
// end.
struct PointArrays {
  const Pixel* colour;
  const std::uint32_t* weight;
};

// Weights up to this keep every product and sum of a zone's error within 32 bits.
constexpr std::uint32_t kNarrowWeight = 16383;

struct Kernels {
  // The sum over points [first, first + count) of weight x squared distance to the nearest
  // colour. Once the sum passes `bound` it may stop and return what it has (above bound).
  // `narrow`: the points' weights add up to at most kNarrowWeight.
  std::uint64_t (*weighted_error)(const PointArrays& p, std::uint32_t first, std::uint32_t count,
                                  const Colours& c, std::uint64_t bound, bool narrow);
  // For each cell i < count: squared distance to the nearest colour times 256 plus that
  // colour's index (the lower index among equals). Reads up to a multiple of 8 cells.
  void (*nearest_cells)(const std::int32_t* r, const std::int32_t* g, const std::int32_t* b,
                        std::int32_t count, const Colours& c, std::int32_t* out);
  // The squared distance from one colour to each colour of c (out: room for kMaxColours).
  void (*distances)(Pixel colour, const Colours& c, std::int32_t* out);
  // For each of count pixels (at most 64): the index of the nearest colour, the lower index
  // among equals. Returns the sum of the squared distances.
  std::uint64_t (*nearest_pixels)(const Pixel* px, std::int32_t count, const Colours& c,
                                  std::uint8_t* index);
};

// The fastest kernels this processor runs.
const Kernels& kernels();
// The kernels without processor-specific instructions (the tests compare the two).
const Kernels& plain_kernels();

}  // namespace img::multipalette
