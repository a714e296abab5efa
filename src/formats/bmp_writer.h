// Writes the picture as an uncompressed BMP at 24, 16 (5-5-5) or 8 bits per pixel.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/file_output.h"
#include "image/plane.h"
#include "platform/status.h"

namespace formats {

// Bytes of one file row at `depth` bits per pixel, padding included.
std::int64_t bmp_stride(int depth, std::int32_t width);

// The 54-byte header for a picture of width x height at `depth`.
void encode_bmp_header(int depth, std::int32_t width, std::int32_t height, std::uint8_t* out);

// The 1024-byte colour table: entry k from colour key k (blue6<<12 | green6<<6 | red6),
// each 6-bit value times 4. Keys missing from `palette_keys` count as 0.
void encode_bmp_palette(std::span<const std::uint32_t> palette_keys, std::uint8_t* out);

// Maps colour keys to the index of their first occurrence among the first n palette
// entries (n = pal_size limited to 0..256); a key that is not there maps to n % 256.
class PaletteIndex {
 public:
  PaletteIndex(std::span<const std::uint32_t> palette_keys, std::int32_t pal_size);
  std::uint8_t find(std::uint32_t key) const;

 private:
  static constexpr int kSlots = 1024;  // open addressing, at most 256 used
  std::uint32_t keys_[kSlots];
  std::int16_t index_[kSlots];
  std::uint8_t missing_ = 0;
};

// Encodes one picture row (width pixels) into `out` followed by zero padding up to the
// stride. `out` needs stride + 1 bytes (at 24 bits a pixel is stored as a 4-byte word).
void encode_bmp_row(int depth, const img::Pixel* row, std::int32_t width,
                    const PaletteIndex* palette, std::uint8_t* out);

// Saves width x height pixels of `source` as a BMP at depth 24, 16 or 8, replacing `path`
// atomically (temporary file in the same folder, then rename). Returns kFileSaved, or
// kFileNotSaved when the file cannot be created, written, closed or renamed; the old file
// is then left as it was and no temporary file remains.
platform::Status save_bmp(const std::string& path, int depth, img::ConstPlane source,
                          std::int32_t width, std::int32_t height,
                          std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                          std::uint8_t* row_buffer /* at least maxh*3+3 bytes */,
                          const BeforeReplace& before_replace = {});

}  // namespace formats
