// Resize: the working image resampled to a new width and height by the view's compose.
#pragma once

#include <cstdint>

#include "image/compose.h"
#include "image/image_store.h"
#include "platform/status.h"

namespace img {

// Copies the picture into the processed image and composes it from there, new_w x new_h,
// into the working image, which then holds a picture of that size (the caller asks for the
// processed image to be rebuilt). A size beyond the store's columns or rows gives
// kSizeTooLarge and changes nothing. A size below 2 resamples nothing: only the picture's
// size changes, and below 1 the picture is empty.
platform::Status resize_picture(ImageStore& store, std::int32_t new_w, std::int32_t new_h,
                                ComposeWorkspace& workspace);

}  // namespace img
