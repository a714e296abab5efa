// PNG files through libspng: the reader (every colour type and depth, palettes, tRNS,
// interlacing) and the writer (8-bit RGB, 8-bit RGB with 5 significant bits, 8-bit indexed).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/bmp_writer.h"
#include "formats/load_result.h"
#include "image/image_store.h"
#include "image/plane.h"

namespace formats {

// `file` is the whole file, starting with the PNG signature. 16-bit samples are rounded to
// 8 bits, transparency is composited over black and ancillary chunks are ignored. The
// picture replaces the working image only once it is complete.
LoadResult read_png(std::span<const std::uint8_t> file, img::ImageStore& store);

// Saves width x height pixels of `source` as a PNG at save depth 24, 16 or 8, with the same
// arguments, palette rule and file replacement as save_bmp. At 16 the file holds each
// component's top 5 bits (what a 16-bit BMP gives back) and says so in an sBIT chunk; at 8
// it is indexed with the 256-entry table of the 8-bit BMP. An empty picture is not saved.
platform::Status save_png(const std::string& path, int depth, img::ConstPlane source,
                          std::int32_t width, std::int32_t height,
                          std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                          std::uint8_t* row_buffer /* at least maxh*3 bytes */,
                          const BeforeReplace& before_replace = {},
                          const img::ZonedPalettes* zones = nullptr);

}  // namespace formats
