// Turning a picture stored sideways or mirrored upright, by exact pixel moves, as a
// camera's orientation tag (1 to 8) describes it.
#pragma once

#include "image/image_store.h"
#include "platform/status.h"

namespace img {

// Makes the working image upright for `orientation`: 2 mirror left-right, 3 turn half way,
// 4 mirror top-bottom, 5 mirror along the main diagonal, 6 turn a quarter clockwise, 7
// mirror along the other diagonal, 8 turn a quarter anticlockwise; 5 to 8 swap width and
// height. 1 and any other value change nothing. Returns kSizeTooLarge, and changes nothing,
// when the upright picture would not fit the store; otherwise kNone. Uses the processed
// image as scratch (the caller rebuilds it).
platform::Status orient_picture(ImageStore& store, int orientation);

}  // namespace img
