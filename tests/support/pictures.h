// Pictures for end-to-end tests: 24-bit BMP files built from a pixel function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "image/plane.h"

namespace support {

// A 24-bit BMP of w x h pixels; colour(x, y) gives each pixel as 0x00RRGGBB, row 0 at the top.
inline std::string bmp24(int w, int h, const std::function<img::Pixel(int, int)>& colour) {
  const int stride = (w * 3 + 3) / 4 * 4;
  std::string b(static_cast<std::size_t>(54 + stride * h), '\0');
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      b[static_cast<std::size_t>(at + i)] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<std::uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < h; ++y) {
    const std::size_t row = 54 + static_cast<std::size_t>(stride) * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const img::Pixel p = colour(x, y);
      b[row + x * 3] = static_cast<char>(img::blue_of(p));
      b[row + x * 3 + 1] = static_cast<char>(img::green_of(p));
      b[row + x * 3 + 2] = static_cast<char>(img::red_of(p));
    }
  }
  return b;
}

// A picture of one colour.
inline std::string bmp24(int w, int h, img::Pixel colour) {
  return bmp24(w, h, [colour](int, int) { return colour; });
}

}  // namespace support
