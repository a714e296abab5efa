// The one entry through which a picture file becomes the working image: tells BMP, JPEG,
// PNG, GIF and WebP files apart by their first bytes and hands them to their reader.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/jpeg/decoder.h"
#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

// Loads the named file into store.working(), updating store.width/height as the readers
// say. `file_buffer` holds the file's bytes; it only grows, so repeated loads of the same
// file allocate nothing. A file that cannot be read counts as unrecognised.
LoadResult load_picture(const std::string& path, img::ImageStore& store, JpegDecoder& jpeg,
                        std::vector<std::uint8_t>& file_buffer);

// The same for a file already in memory.
LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg);

// Reads the whole file into `buffer` (grown when too small, never shrunk); returns the
// number of bytes read, or -1 when the file cannot be opened or read.
std::int64_t read_whole_file(const std::string& path, std::vector<std::uint8_t>& buffer);

}  // namespace formats
