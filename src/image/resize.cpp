#include "image/resize.h"

#include <algorithm>

namespace img {

platform::Status resize_picture(ImageStore& store, std::int32_t new_w, std::int32_t new_h,
                                ComposeWorkspace& workspace) {
  if (new_w > store.maxh || new_h > store.maxv) return platform::Status::kSizeTooLarge;
  // The processed image is the resampler's source; only blue, green and red are copied.
  const Plane working = store.working();
  const Plane processed = store.processed();
  const std::int32_t w = std::min(store.width, store.maxh);
  const std::int32_t h = std::min(store.height, store.maxv);
  for (std::int32_t y = 0; y < h; ++y) {
    const Pixel* in = working.row(y);
    Pixel* out = processed.row(y);
    for (std::int32_t x = 0; x < w; ++x) out[x] = in[x] & 0x00FFFFFF;
  }
  if (new_w >= 1 && new_h >= 1) {
    compose(processed, w, h, new_w, new_h, 0, new_w - 1, 0, new_h - 1, working, 0, 0, workspace);
  }
  store.width = new_w;
  store.height = new_h;
  return platform::Status::kNone;
}

}  // namespace img
