#include "image/adjust.h"

#include <algorithm>
#include <array>

namespace img {

namespace {

// One table per component: the result depends on the component alone. 64-bit arithmetic,
// because the value slots accept any 32-bit number.
std::array<std::uint8_t, 256> component_table(std::int64_t k, std::int64_t b, std::int64_t add) {
  std::array<std::uint8_t, 256> t{};
  for (std::int64_t v = 0; v < 256; ++v) {
    const std::int64_t scaled = ((v - 128) * k) >> 7;  // arithmetic: rounds towards -inf
    t[static_cast<std::size_t>(v)] =
        static_cast<std::uint8_t>(std::clamp<std::int64_t>(scaled + b + add, 0, 255));
  }
  return t;
}

}  // namespace

void adjust_colours(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s) {
  const std::int64_t k = std::int64_t{s.contrast} + 128;
  const std::int64_t b = std::int64_t{s.brightness} + 128;
  const auto blue = component_table(k, b, s.blue_add);
  const auto green = component_table(k, b, s.green_add);
  const auto red = component_table(k, b, s.red_add);
  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    for (std::int32_t x = 0; x < w; ++x) {
      const Pixel q = row[x];
      row[x] = (q & 0xFF000000u) | (Pixel{red[(q >> 16) & 0xFF]} << 16) |
               (Pixel{green[(q >> 8) & 0xFF]} << 8) | Pixel{blue[q & 0xFF]};
    }
  }
}

}  // namespace img
