// Crop: the working image cut down to a rectangle of itself, and the crop Tool's selection
// seen through the view.
#pragma once

#include <cstdint>

#include "image/image_store.h"
#include "image/view.h"

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

// The picture pixel shown at screen pixel (sx, sy), through the view's last composition:
// displayed column X = sx - h offset shows picture column ((2X + 1) * step x) >> 10, the one
// under the middle of the displayed pixel, with the compose's own truncated step (rows
// likewise). False when (sx, sy) is not on the displayed picture, unless `clamp`, which takes
// the nearest displayed pixel instead (still false when nothing is displayed).
bool picture_pixel_at(const ViewState& view, std::int32_t image_w, std::int32_t image_h,
                      std::int32_t sx, std::int32_t sy, bool clamp, std::int32_t& px,
                      std::int32_t& py);

// The screen rectangle, corners included, of the displayed pixels that show pixels of `r`;
// at least one displayed pixel each way even when the view shrinks `r` to less.
struct ScreenRect {
  std::int64_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
};
ScreenRect shown_rect(const ViewState& view, std::int32_t image_w, std::int32_t image_h,
                      PixelRect r);

}  // namespace img
