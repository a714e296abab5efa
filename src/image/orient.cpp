#include "image/orient.h"

#include <algorithm>

#include "image/flip.h"

namespace img {

namespace {

// Where upright pixel (x, y) comes from in a stored picture of w x h, for 5 to 8.
struct Source {
  std::int32_t x, y;
};
Source source_of(int orientation, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  switch (orientation) {
    case 5:
      return {y, x};
    case 6:
      return {y, h - 1 - x};
    case 7:
      return {w - 1 - y, h - 1 - x};
    default:  // 8
      return {w - 1 - y, x};
  }
}

// Upright rows are written in blocks so that reads down the stored columns stay in cache.
void transpose_into(const ImageStore& store, int orientation, Plane out) {
  constexpr std::int32_t kBlock = 32;
  const std::int32_t w = store.width, h = store.height;  // stored size
  const ConstPlane in = store.working();
  for (std::int32_t y0 = 0; y0 < w; y0 += kBlock) {
    for (std::int32_t x0 = 0; x0 < h; x0 += kBlock) {
      const std::int32_t y1 = std::min(y0 + kBlock, w), x1 = std::min(x0 + kBlock, h);
      for (std::int32_t y = y0; y < y1; ++y) {
        Pixel* row = out.row(y);
        for (std::int32_t x = x0; x < x1; ++x) {
          const Source s = source_of(orientation, x, y, w, h);
          row[x] = in.at(s.x, s.y);
        }
      }
    }
  }
}

}  // namespace

platform::Status orient_picture(ImageStore& store, int orientation) {
  if (!store.has_picture()) return platform::Status::kNone;
  switch (orientation) {
    case 2:
      flip_x(store);
      return platform::Status::kNone;
    case 3:
      flip_x(store);
      flip_y(store);
      return platform::Status::kNone;
    case 4:
      flip_y(store);
      return platform::Status::kNone;
    case 5:
    case 6:
    case 7:
    case 8:
      break;
    default:
      return platform::Status::kNone;
  }
  if (store.height > store.maxh || store.width > store.maxv) return platform::Status::kSizeTooLarge;
  const Plane scratch = store.processed();
  transpose_into(store, orientation, scratch);
  std::swap(store.width, store.height);
  const Plane working = store.working();
  for (std::int32_t y = 0; y < store.height; ++y) {
    std::copy_n(scratch.row(y), store.width, working.row(y));
  }
  return platform::Status::kNone;
}

}  // namespace img
