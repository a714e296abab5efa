#include "image/flip.h"

#include <cstdint>

namespace img {

namespace {

// Packs n pixels, `step` words apart, into 3-byte blue, green, red triples.
void pack(const Pixel* px, std::int64_t step, std::int32_t n, std::uint8_t* buffer) {
  for (std::int32_t i = 0; i < n; ++i, px += step, buffer += 3) {
    const Pixel p = *px;
    buffer[0] = static_cast<std::uint8_t>(p);
    buffer[1] = static_cast<std::uint8_t>(p >> 8);
    buffer[2] = static_cast<std::uint8_t>(p >> 16);
  }
}

// Writes the packed pixels back in reverse order: pixel i receives triple n - 1 - i. Only the
// three colour bytes are written.
void unpack_reversed(const std::uint8_t* buffer, std::int32_t n, Pixel* px, std::int64_t step) {
  const std::uint8_t* t = buffer + std::int64_t{n - 1} * 3;
  for (std::int32_t i = 0; i < n; ++i, px += step, t -= 3) {
    const Pixel colour = Pixel{t[0]} | Pixel{t[1]} << 8 | Pixel{t[2]} << 16;
    *px = (*px & 0xFF000000) | colour;
  }
}

bool has_flippable_picture(const ImageStore& store) {
  return store.has_picture() && store.width <= store.maxh && store.height <= store.maxv;
}

}  // namespace

void flip_x(ImageStore& store) {
  if (!has_flippable_picture(store)) return;
  const Plane working = store.working();
  std::uint8_t* buffer = store.row_buffer();
  for (std::int32_t y = 0; y < store.height; ++y) {
    pack(working.row(y), 1, store.width, buffer);
    unpack_reversed(buffer, store.width, working.row(y), 1);
  }
}

// Mirroring every column top to bottom is the same as exchanging rows y and height - 1 - y;
// done row by row through the row buffer it walks memory in order.
void flip_y(ImageStore& store) {
  if (!has_flippable_picture(store)) return;
  const Plane working = store.working();
  std::uint8_t* buffer = store.row_buffer();
  for (std::int32_t top = 0, bottom = store.height - 1; top < bottom; ++top, --bottom) {
    Pixel* a = working.row(top);
    Pixel* b = working.row(bottom);
    pack(a, 1, store.width, buffer);
    for (std::int32_t x = 0; x < store.width; ++x) a[x] = (a[x] & 0xFF000000) | (b[x] & 0xFFFFFF);
    const std::uint8_t* t = buffer;
    for (std::int32_t x = 0; x < store.width; ++x, t += 3) {
      b[x] = (b[x] & 0xFF000000) | Pixel{t[0]} | Pixel{t[1]} << 8 | Pixel{t[2]} << 16;
    }
  }
}

}  // namespace img
