#include "image/present.h"

#include <cstring>

namespace img {

namespace {

// One straight loop per depth: the depth is tested once, never per pixel.
template <typename Out, Out (*Convert)(Pixel)>
void convert_all(const Pixel* back, void* framebuffer, std::int64_t count) {
  Out* out = static_cast<Out*>(framebuffer);
  for (std::int64_t k = 0; k < count; ++k) out[k] = Convert(back[k]);
}

}  // namespace

void present(const Pixel* back, void* framebuffer, std::int64_t count, int depth) {
  if (count <= 0) return;
  if (depth > 16) {
    std::memcpy(framebuffer, back, static_cast<std::size_t>(count) * sizeof(Pixel));
  } else if (depth == 16) {
    convert_all<std::uint16_t, to_565>(back, framebuffer, count);
  } else if (depth == 15) {
    convert_all<std::uint16_t, to_555>(back, framebuffer, count);
  } else if (depth == 8) {
    convert_all<std::uint8_t, to_index8>(back, framebuffer, count);
  }
}

void present_rows(const Pixel* back, std::int32_t width, std::int32_t height, void* framebuffer,
                  std::int64_t pitch_bytes, int depth) {
  const int size = bytes_per_pixel(depth);
  if (size == 0 || width <= 0 || height <= 0) return;
  if (pitch_bytes == static_cast<std::int64_t>(width) * size) {
    present(back, framebuffer, static_cast<std::int64_t>(width) * height, depth);
    return;
  }
  auto* out = static_cast<std::uint8_t*>(framebuffer);
  for (std::int32_t y = 0; y < height; ++y) {
    present(back + static_cast<std::int64_t>(y) * width, out + y * pitch_bytes, width, depth);
  }
}

}  // namespace img
