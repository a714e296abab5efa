// Flip: the working image mirrored left to right or top to bottom, in place, one row or
// column at a time through the store's row and column buffers.
#pragma once

#include "image/image_store.h"

namespace img {

// Mirrors each row of the picture; the caller asks for the processed image to be rebuilt.
void flip_x(ImageStore& store);
// Mirrors each column of the picture.
void flip_y(ImageStore& store);

}  // namespace img
