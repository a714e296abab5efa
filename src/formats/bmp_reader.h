// Reads an uncompressed BMP (8, 16 or 24 bits per pixel) into the working image.
#pragma once

#include <cstdint>
#include <span>

#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

// `file` is the whole file, starting with "BM". Sets store.width/height only after the
// size checks. Bytes the file does not hold read as zero, so rows that a truncated file
// does not supply come out black.
LoadResult read_bmp(std::span<const std::uint8_t> file, img::ImageStore& store);

}  // namespace formats
