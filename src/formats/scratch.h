// What the PNG, GIF and WebP readers share: the plane they decode into and the one rule by
// which transparency reaches a store that has no alpha.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

// These readers decode into the processed plane, which is rebuilt from the working image
// after every load anyway; a damaged file thus leaves the working image as it was.
inline img::Plane scratch_plane(const img::ImageStore& store) {
  return store.processed();
}

// A complete picture in the scratch plane becomes the working image: the planes trade
// places, so nothing is copied.
inline LoadResult take_scratch(img::ImageStore& store, std::int32_t width, std::int32_t height) {
  std::swap(store.working_memory, store.processed_memory);
  store.width = width;
  store.height = height;
  return {platform::Status::kFileLoaded, true};
}

inline LoadResult damaged() {
  return {platform::Status::kPictureDamaged, false};
}

// A component c at alpha a over black: c * a / 255 rounded to the nearest integer (the
// quotient is never halfway).
constexpr std::uint32_t over_black(std::uint32_t c, std::uint32_t a) {
  return (c * a + 127) / 255;
}

// A 16-bit sample reduced to 8 bits: v * 255 / 65535 rounded (never halfway either).
constexpr std::uint32_t reduce_16(std::uint32_t v) {
  return (v * 255 + 32767) / 65535;
}

// One pixel from red, green, blue and alpha bytes.
constexpr img::Pixel pixel_over_black(std::uint32_t r, std::uint32_t g, std::uint32_t b,
                                      std::uint32_t a) {
  if (a == 255) return (r << 16) | (g << 8) | b;
  return (over_black(r, a) << 16) | (over_black(g, a) << 8) | over_black(b, a);
}

// over_black without the division, for the row loop (the same for every component and alpha,
// as the tests check).
constexpr std::uint32_t over_black_fast(std::uint32_t c, std::uint32_t a) {
  const std::uint32_t t = c * a + 128;
  return (t + (t >> 8)) >> 8;
}

// A row of red, green, blue, alpha bytes into pixel words over black. `out` may overlap
// the bytes read as long as it does not start before them: the last pixel goes first.
inline void rgba_row_over_black(const std::uint8_t* rgba, img::Pixel* out, std::int32_t count) {
  for (std::int32_t x = count - 1; x >= 0; --x) {
    std::uint32_t w;  // red in the low byte, alpha in the high byte
    std::memcpy(&w, rgba + 4 * static_cast<std::size_t>(x), 4);
    const std::uint32_t a = w >> 24;
    out[x] = a == 255 ? __builtin_bswap32(w) >> 8
                      : (over_black_fast(w & 0xFF, a) << 16) |
                            (over_black_fast((w >> 8) & 0xFF, a) << 8) |
                            over_black_fast((w >> 16) & 0xFF, a);
  }
}

}  // namespace formats
