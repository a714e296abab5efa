// A picture held in a vector for the image tests, with a stride wider than the picture so
// that row mistakes show (or one of the test's choosing), and grey and bgr colours.
#pragma once

#include <cstdint>
#include <vector>

#include "image/plane.h"

namespace img {

struct Picture {
  std::int32_t w = 0, h = 0, stride = 0;
  std::vector<Pixel> px;
  Picture(std::int32_t width, std::int32_t height, Pixel fill = 0)
      : w(width),
        h(height),
        stride(width + 3),
        px(static_cast<std::size_t>(stride) * height, fill) {}
  // Rows `row_pixels` long instead (at least the width).
  static Picture with_stride(std::int32_t width, std::int32_t height, std::int32_t row_pixels,
                             Pixel fill = 0) {
    Picture p(width, height, fill);
    p.stride = row_pixels;
    p.px.assign(static_cast<std::size_t>(row_pixels) * height, fill);
    return p;
  }
  Plane plane() { return {px.data(), stride}; }
  Pixel& at(std::int32_t x, std::int32_t y) { return px[static_cast<std::size_t>(y) * stride + x]; }
};

inline Pixel grey(int level) {
  return make_pixel(level, level, level);
}

inline Pixel bgr(int b, int g, int r) {
  return make_pixel(r, g, b);
}

}  // namespace img
