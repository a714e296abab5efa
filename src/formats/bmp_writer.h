// Writes the picture as an uncompressed BMP at 24, 16 (5-5-5) or 8 bits per pixel.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/multipalette.h"
#include "image/plane.h"
#include "platform/files.h"
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
// With blocks (a multipalette table), a key is looked up in its block only: block b holds
// entries b * block_size ... b * block_size + block_size - 1, and a key that is not there
// maps to the block's first entry.
class PaletteIndex {
 public:
  PaletteIndex(std::span<const std::uint32_t> palette_keys, std::int32_t pal_size);
  PaletteIndex(std::span<const std::uint32_t> table, std::int32_t blocks, std::int32_t block_size);
  std::uint8_t find(std::uint32_t key, std::int32_t block = 0) const;

 private:
  void insert(std::uint32_t entry_key, std::int32_t index);

  static constexpr int kSlots = 1024;  // open addressing, at most 256 used
  std::uint32_t keys_[kSlots];
  std::int16_t index_[kSlots];
  std::uint8_t missing_ = 0;
  std::int32_t block_size_ = 0;  // 0: one palette
};

// Encodes one picture row (width pixels) into `out` followed by zero padding up to the
// stride. `out` needs stride + 1 bytes (at 24 bits a pixel is stored as a 4-byte word). At 8
// bits with `zone_blocks`, the pixels of zone column zx (zone_width wide) are looked up in
// block zone_blocks[zx]; the last zone column also takes any pixels beyond.
void encode_bmp_row(int depth, const img::Pixel* row, std::int32_t width,
                    const PaletteIndex* palette, std::uint8_t* out,
                    const std::uint8_t* zone_blocks = nullptr, std::int32_t zone_width = 0,
                    std::int32_t zones_across = 0);

using BeforeReplace = platform::BeforeReplace;

// The multipalette layout an 8-bit save can follow, or nullptr (no zones, another depth, or
// a result that does not cover its zones); and the palette numbers of the zones of row y.
const img::ZoneLayout* usable_zones(const img::ZonedPalettes* zones, int depth);
const std::uint8_t* zone_row_blocks(const img::ZonedPalettes& zones, std::int32_t y);

// Saves width x height pixels of `source` as a BMP at depth 24, 16 or 8 through the file
// service's safe save (platform/files.h). Returns kFileSaved, or kFileNotSaved when the
// picture has no pixels (a side below 1) or the file cannot be created, written, flushed or
// renamed; the old file is then left as it was and no temporary file remains. At 8 bits
// with `zones`, the colour table and the indexes follow the multipalette layout instead of
// palette_keys and pal_size.
platform::Status save_bmp(const std::string& path, int depth, img::ConstPlane source,
                          std::int32_t width, std::int32_t height,
                          std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                          std::uint8_t* row_buffer /* at least maxh*3+3 bytes */,
                          const BeforeReplace& before_replace = {},
                          const img::ZonedPalettes* zones = nullptr);

}  // namespace formats
