// BMP files built in memory for the tests: a header with any body, or a whole 24-bit
// picture from a pixel function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/plane.h"

namespace support {

using Bytes = std::vector<std::uint8_t>;

inline void put_le(Bytes& b, std::size_t at, std::uint32_t v, int width) {
  if (b.size() < at + width) b.resize(at + width);
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint32_t get_le(const Bytes& b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = 0; i < width; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  return v;
}

// A BMP header naming width, height and bits per pixel (other fields zero, as the reader
// ignores them), followed by `body` (palette and rows, bottom row first).
inline Bytes bmp_file(std::int32_t width, std::int32_t height, int bits, const Bytes& body) {
  Bytes b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  put_le(b, 18, static_cast<std::uint32_t>(width), 4);
  put_le(b, 22, static_cast<std::uint32_t>(height), 4);
  put_le(b, 26, 1, 2);
  put_le(b, 28, static_cast<std::uint32_t>(bits), 2);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// A 24-bit BMP of w x h pixels; colour(x, y) gives each pixel as 0x00RRGGBB, row 0 at the top.
inline std::string bmp24(int w, int h, const std::function<img::Pixel(int, int)>& colour) {
  const int stride = (w * 3 + 3) / 4 * 4;
  Bytes rows(static_cast<std::size_t>(stride * h), 0);
  for (int y = 0; y < h; ++y) {
    const std::size_t row = static_cast<std::size_t>(stride) * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const img::Pixel p = colour(x, y);
      rows[row + x * 3] = static_cast<std::uint8_t>(img::blue_of(p));
      rows[row + x * 3 + 1] = static_cast<std::uint8_t>(img::green_of(p));
      rows[row + x * 3 + 2] = static_cast<std::uint8_t>(img::red_of(p));
    }
  }
  // The sizes other programs fill in too.
  Bytes b = bmp_file(w, h, 24, rows);
  put_le(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  put_le(b, 10, 54, 4);
  put_le(b, 14, 40, 4);
  return {b.begin(), b.end()};
}

// A picture of one colour.
inline std::string bmp24(int w, int h, img::Pixel colour) {
  return bmp24(w, h, [colour](int, int) { return colour; });
}

}  // namespace support
