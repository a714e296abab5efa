// WebP files through libwebp: lossy and lossless pictures, and the first frame of an
// animation as it shows on the canvas.
#pragma once

#include <cstdint>
#include <span>

#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

// `file` is the whole file, starting "RIFF" with "WEBP" at byte 8. Alpha is composited over
// black. The picture replaces the working image only once it is complete.
LoadResult read_webp(std::span<const std::uint8_t> file, img::ImageStore& store);

}  // namespace formats
