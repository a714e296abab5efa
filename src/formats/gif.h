// GIF files through giflib: the first frame on the logical screen.
#pragma once

#include <cstdint>
#include <span>

#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

// `file` is the whole file, starting "GIF87a" or "GIF89a". The picture is the logical
// screen; the first frame is placed on it and clipped to it; the screen outside the frame,
// transparent pixels and indices past the colour table are black. A file without any colour
// table shows its indices as grey levels. The picture replaces the working image only once
// the frame is complete.
LoadResult read_gif(std::span<const std::uint8_t> file, img::ImageStore& store);

}  // namespace formats
