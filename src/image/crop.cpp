#include "image/crop.h"

#include <algorithm>
#include <cstring>

namespace img {

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

}  // namespace img
