// The one entry through which a picture file becomes the working image: tells BMP, JPEG,
// PNG, GIF and WebP files apart by their first bytes and hands them to their reader.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/jpeg/decoder.h"
#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

// What a file is, told by its first bytes.
enum class Kind { kNone, kBmp, kJpeg, kPng, kGif, kWebp };
Kind kind_of(std::span<const std::uint8_t> bytes);

// Loads the named file into store.working(), updating store.width/height as the readers
// say. The file is mapped for the length of the load (platform/files.h): a reader touches
// only the bytes it needs, and nothing of the file stays in memory afterwards. A file that
// cannot be read counts as unrecognised.
LoadResult load_picture(const std::string& path, img::ImageStore& store, JpegDecoder& jpeg);

// The same for a file already in memory.
LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg);

}  // namespace formats
