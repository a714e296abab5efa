// Presentation: the back buffer's pixel words converted to the screen's depth.
#pragma once

#include <cstdint>

#include "image/plane.h"

namespace img {

// Converts `count` pixel words into the framebuffer, pixel k to pixel k. Depth above 16
// copies the words; 16 gives 5-6-5, 15 gives 5-5-5 and 8 the RRGGGGBB index. Components are
// truncated, never rounded. Any other depth writes nothing.
void present(const Pixel* back, void* framebuffer, std::int64_t count, int depth);

// The same for a framebuffer whose rows are `pitch_bytes` apart (a pitch of width times the
// pixel size is one straight pass).
void present_rows(const Pixel* back, std::int32_t width, std::int32_t height, void* framebuffer,
                  std::int64_t pitch_bytes, int depth);

// The conversions of one pixel word, for palettes and tests.
constexpr std::uint16_t to_565(Pixel p) {
  return static_cast<std::uint16_t>(((p >> 3) & 0x1F) + ((p >> 5) & 0x7E0) + ((p >> 8) & 0xF800));
}
constexpr std::uint16_t to_555(Pixel p) {
  return static_cast<std::uint16_t>(((p >> 3) & 0x1F) + ((p >> 6) & 0x3E0) + ((p >> 9) & 0x7C00));
}
constexpr std::uint8_t to_index8(Pixel p) {
  return static_cast<std::uint8_t>(((p >> 6) & 3) + ((p >> 10) & 0x3C) + ((p >> 16) & 0xC0));
}

// Bytes per framebuffer pixel at a depth, 0 for a depth that is not shown.
constexpr int bytes_per_pixel(int depth) {
  if (depth > 16) return 4;
  if (depth == 16 || depth == 15) return 2;
  if (depth == 8) return 1;
  return 0;
}

}  // namespace img
