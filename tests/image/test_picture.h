// A picture held in a vector for the colour-stage tests, with a stride wider than the
// picture so that row mistakes show.
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
  Plane plane() { return {px.data(), stride}; }
  Pixel& at(std::int32_t x, std::int32_t y) { return px[static_cast<std::size_t>(y) * stride + x]; }
};

}  // namespace img
