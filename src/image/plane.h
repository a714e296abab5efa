// A plane of pixel words: 0x00RRGGBB, byte 0 blue, byte 1 green, byte 2 red, byte 3 zero.
// Planes are views; the memory belongs to the image store or the back buffer.
#pragma once

#include <cstdint>

namespace img {

using Pixel = std::uint32_t;

constexpr Pixel make_pixel(int red, int green, int blue) {
  return (static_cast<Pixel>(red) << 16) | (static_cast<Pixel>(green) << 8) |
         static_cast<Pixel>(blue);
}
constexpr int red_of(Pixel p) {
  return static_cast<int>((p >> 16) & 0xFF);
}
constexpr int green_of(Pixel p) {
  return static_cast<int>((p >> 8) & 0xFF);
}
constexpr int blue_of(Pixel p) {
  return static_cast<int>(p & 0xFF);
}

// A writable view of pixel words; row y starts at px + y * stride.
struct Plane {
  Pixel* px = nullptr;
  std::int32_t stride = 0;  // pixel words per row

  Pixel* row(std::int32_t y) const { return px + static_cast<std::int64_t>(y) * stride; }
  Pixel& at(std::int32_t x, std::int32_t y) const { return row(y)[x]; }
};

// A read-only view.
struct ConstPlane {
  const Pixel* px = nullptr;
  std::int32_t stride = 0;

  ConstPlane() = default;
  ConstPlane(const Pixel* p, std::int32_t s) : px(p), stride(s) {}
  ConstPlane(const Plane& p) : px(p.px), stride(p.stride) {}  // NOLINT: views convert freely
  const Pixel* row(std::int32_t y) const { return px + static_cast<std::int64_t>(y) * stride; }
  Pixel at(std::int32_t x, std::int32_t y) const { return row(y)[x]; }
};

}  // namespace img
