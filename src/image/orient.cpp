#include "image/orient.h"

#include "image/flip.h"
#include "image/rotate.h"

namespace img {

platform::Status orient_picture(ImageStore& store, int orientation) {
  if (!store.has_picture()) return platform::Status::kNone;
  // 5 and 7 are the quarter turns of 6 and 8 mirrored left to right.
  switch (orientation) {
    case 2:
      flip_x(store);
      return platform::Status::kNone;
    case 3:
      return rotate_picture(store, 180.0f);
    case 4:
      flip_y(store);
      return platform::Status::kNone;
    case 5:
    case 6:
    case 7:
    case 8: {
      const float turn = orientation == 5 || orientation == 6 ? 90.0f : 270.0f;
      const platform::Status turned = rotate_picture(store, turn);
      if (turned == platform::Status::kNone && (orientation == 5 || orientation == 7)) {
        flip_x(store);
      }
      return turned;
    }
    default:
      return platform::Status::kNone;
  }
}

}  // namespace img
