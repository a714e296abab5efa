#include "image/crop.h"

#include <algorithm>
#include <cstring>

#include "image/compose.h"

namespace img {

namespace {

// One axis of the view: displayed index d shows picture index ((2d + 1) * step) >> 10.
struct Axis {
  std::int64_t step = 0;
  std::int64_t display = 0;

  Axis(std::int32_t image, std::int32_t display_size)
      : step(axis_factors(image, display_size).step), display(display_size) {}
  std::int32_t shown_at(std::int64_t d) const {
    return static_cast<std::int32_t>(((2 * d + 1) * step) >> 10);
  }
  // The first displayed index showing picture index p or a later one.
  std::int64_t first_showing(std::int64_t p) const {
    if (step == 0) return 0;
    return std::clamp<std::int64_t>(ceil_div(1024 * p - step, 2 * step), 0, display - 1);
  }
  // The last displayed index showing picture index p or an earlier one.
  std::int64_t last_showing(std::int64_t p) const {
    if (step == 0) return display - 1;
    return std::clamp<std::int64_t>(ceil_div(1024 * (p + 1) - step, 2 * step) - 1, 0, display - 1);
  }
  static std::int64_t ceil_div(std::int64_t a, std::int64_t b) {
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
  }
};

bool shown(const ViewState& view, std::int32_t image_w, std::int32_t image_h) {
  return image_w >= 1 && image_h >= 1 && view.display_width >= 2 && view.display_height >= 2;
}

}  // namespace

PixelRect clip_to_picture(PixelRect r, std::int32_t width, std::int32_t height) {
  const std::int64_t x0 = std::max<std::int64_t>(r.x, 0);
  const std::int64_t y0 = std::max<std::int64_t>(r.y, 0);
  const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{r.x} + r.w, width);
  const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{r.y} + r.h, height);
  if (x0 >= x1 || y0 >= y1) return {};
  return {static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
          static_cast<std::int32_t>(x1 - x0), static_cast<std::int32_t>(y1 - y0)};
}

bool crop_picture(ImageStore& store, PixelRect r) {
  if (store.width > store.maxh || store.height > store.maxv) return false;
  const PixelRect c = clip_to_picture(r, store.width, store.height);
  if (c.w < 1) return false;
  // Row y of the result comes from row c.y + y, at or after it in memory, so copying upwards
  // never overwrites a row before it is read.
  const Plane working = store.working();
  for (std::int32_t y = 0; y < c.h; ++y) {
    std::memmove(working.row(y), working.row(c.y + y) + c.x, sizeof(Pixel) * std::size_t(c.w));
  }
  store.width = c.w;
  store.height = c.h;
  return true;
}

bool picture_pixel_at(const ViewState& view, std::int32_t image_w, std::int32_t image_h,
                      std::int32_t sx, std::int32_t sy, bool clamp, std::int32_t& px,
                      std::int32_t& py) {
  if (!shown(view, image_w, image_h)) return false;
  std::int64_t dx = std::int64_t{sx} - view.h_offset;
  std::int64_t dy = std::int64_t{sy} - view.v_offset;
  const bool inside = dx >= 0 && dx < view.display_width && dy >= 0 && dy < view.display_height;
  if (!inside && !clamp) return false;
  dx = std::clamp<std::int64_t>(dx, 0, view.display_width - 1);
  dy = std::clamp<std::int64_t>(dy, 0, view.display_height - 1);
  px = std::min(Axis(image_w, view.display_width).shown_at(dx), image_w - 1);
  py = std::min(Axis(image_h, view.display_height).shown_at(dy), image_h - 1);
  return true;
}

ScreenRect shown_rect(const ViewState& view, std::int32_t image_w, std::int32_t image_h,
                      PixelRect r) {
  if (!shown(view, image_w, image_h) || r.w < 1 || r.h < 1) return {};
  const Axis ax(image_w, view.display_width), ay(image_h, view.display_height);
  ScreenRect s;
  s.x0 = ax.first_showing(r.x);
  s.x1 = std::max(s.x0, ax.last_showing(std::int64_t{r.x} + r.w - 1));
  s.y0 = ay.first_showing(r.y);
  s.y1 = std::max(s.y0, ay.last_showing(std::int64_t{r.y} + r.h - 1));
  s.x0 += view.h_offset;
  s.x1 += view.h_offset;
  s.y0 += view.v_offset;
  s.y1 += view.v_offset;
  return s;
}

}  // namespace img
