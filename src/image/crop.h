// Crop: the working image cut down to a rectangle of itself.
#pragma once

#include <cstdint>

#include "image/image_store.h"

namespace img {

// A rectangle of picture pixels: columns x … x + w - 1, rows y … y + h - 1.
struct PixelRect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t w = 0;
  std::int32_t h = 0;
};

// The part of `r` that lies on a picture of width x height pixels; w and h are 0 when none does.
PixelRect clip_to_picture(PixelRect r, std::int32_t width, std::int32_t height);

// Keeps only the part of the picture inside `r`, moved to the top-left corner; the caller asks
// for the processed image to be rebuilt. Returns false, changing nothing, when `r` misses the
// picture.
bool crop_picture(ImageStore& store, PixelRect r);

}  // namespace img
