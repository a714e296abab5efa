#include "formats/bmp_writer.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace formats {
namespace {

constexpr std::uint32_t kPixelsPerMetre = 3780;

void put16(std::uint8_t* out, std::uint32_t v) {
  out[0] = static_cast<std::uint8_t>(v);
  out[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out + 2, v >> 16);
}

std::uint32_t key_at(std::span<const std::uint32_t> keys, std::size_t k) {
  return k < keys.size() ? keys[k] : 0;
}

// The colour key of a pixel: blue6 << 12 | green6 << 6 | red6.
std::uint32_t key_of(img::Pixel v) {
  return (((v & 0xFF) >> 2) << 12) + ((((v >> 8) & 0xFF) >> 2) << 6) + (((v >> 16) & 0xFF) >> 2);
}

std::uint32_t slot_of(std::uint32_t key) {
  return (key * 2654435761u) >> 22;
}  // 10 bits

}  // namespace

std::int64_t bmp_stride(int depth, std::int32_t width) {
  const std::int64_t bytes_per_pixel = depth / 8;
  return (bytes_per_pixel * width + 3) & ~std::int64_t{3};  // rounds up, also below zero
}

void encode_bmp_header(int depth, std::int32_t width, std::int32_t height, std::uint8_t* out) {
  const std::uint32_t palette_bytes = depth == 8 ? 1024 : 0;
  // The fields hold the plain products modulo 2^32, also for an empty picture of negative
  // size; unsigned arithmetic keeps the product defined for every size.
  const auto image_size = static_cast<std::uint32_t>(
      static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(bmp_stride(depth, width)));
  std::memset(out, 0, 54);
  out[0] = 'B';
  out[1] = 'M';
  put32(out + 2, 54 + palette_bytes + image_size);
  put32(out + 10, 54 + palette_bytes);
  put32(out + 14, 40);
  put32(out + 18, static_cast<std::uint32_t>(width));
  put32(out + 22, static_cast<std::uint32_t>(height));
  put16(out + 26, 1);
  put16(out + 28, static_cast<std::uint32_t>(depth));
  put32(out + 34, image_size);
  put32(out + 38, kPixelsPerMetre);
  put32(out + 42, kPixelsPerMetre);
}

void encode_bmp_palette(std::span<const std::uint32_t> palette_keys, std::uint8_t* out) {
  for (std::size_t k = 0; k < 256; ++k) {
    const std::uint32_t p = key_at(palette_keys, k);
    out[4 * k + 0] = static_cast<std::uint8_t>(((p >> 12) & 63) * 4);
    out[4 * k + 1] = static_cast<std::uint8_t>(((p >> 6) & 63) * 4);
    out[4 * k + 2] = static_cast<std::uint8_t>((p & 63) * 4);
    out[4 * k + 3] = 0;
  }
}

PaletteIndex::PaletteIndex(std::span<const std::uint32_t> palette_keys, std::int32_t pal_size) {
  const std::int32_t n = std::clamp<std::int32_t>(pal_size, 0, 256);
  missing_ = static_cast<std::uint8_t>(n % 256);
  std::fill(std::begin(index_), std::end(index_), std::int16_t{-1});
  for (std::int32_t k = 0; k < n; ++k) insert(key_at(palette_keys, static_cast<std::size_t>(k)), k);
}

// Entries are keyed by block and colour key together: block << 18 | key.
PaletteIndex::PaletteIndex(std::span<const std::uint32_t> table, std::int32_t blocks,
                           std::int32_t block_size)
    : block_size_(std::clamp<std::int32_t>(block_size, 1, 256)) {
  std::fill(std::begin(index_), std::end(index_), std::int16_t{-1});
  const std::int32_t n = std::clamp<std::int32_t>(blocks, 0, 256 / block_size_);
  for (std::int32_t b = 0; b < n; ++b) {
    for (std::int32_t c = 0; c < block_size_; ++c) {
      const std::int32_t k = b * block_size_ + c;
      insert((static_cast<std::uint32_t>(b) << 18) |
                 (key_at(table, static_cast<std::size_t>(k)) & 0x3FFFF),
             k);
    }
  }
}

void PaletteIndex::insert(std::uint32_t entry_key, std::int32_t index) {
  std::uint32_t s = slot_of(entry_key);
  while (index_[s] >= 0 && keys_[s] != entry_key) s = (s + 1) % kSlots;
  if (index_[s] < 0) {  // the first occurrence wins
    keys_[s] = entry_key;
    index_[s] = static_cast<std::int16_t>(index);
  }
}

std::uint8_t PaletteIndex::find(std::uint32_t key, std::int32_t block) const {
  if (block_size_ > 0) key |= static_cast<std::uint32_t>(block) << 18;
  for (std::uint32_t s = slot_of(key);; s = (s + 1) % kSlots) {
    if (index_[s] < 0) {
      return block_size_ > 0 ? static_cast<std::uint8_t>(block * block_size_) : missing_;
    }
    if (keys_[s] == key) return static_cast<std::uint8_t>(index_[s]);
  }
}

void encode_bmp_row(int depth, const img::Pixel* row, std::int32_t width,
                    const PaletteIndex* palette, std::uint8_t* out, const std::uint8_t* zone_blocks,
                    std::int32_t zone_width, std::int32_t zones_across) {
  std::uint8_t* p = out;
  if (depth == 24) {
    // Four bytes per pixel stored 3 apart; the spare byte is overwritten by the next pixel,
    // and after the last one it lies within the row buffer's 3 spare bytes.
    for (std::int32_t x = 0; x < width; ++x, p += 3) std::memcpy(p, &row[x], 4);
  } else if (depth == 16) {
    for (std::int32_t x = 0; x < width; ++x, p += 2) {
      const img::Pixel v = row[x];
      put16(p, ((v & 0xFF) >> 3) + (((v >> 8) & 0xFF) >> 3 << 5) + (((v >> 16) & 0xFF) >> 3 << 10));
    }
  } else if (zone_blocks == nullptr) {
    for (std::int32_t x = 0; x < width; ++x) *p++ = palette->find(key_of(row[x]));
  } else {
    for (std::int32_t zx = 0, x = 0; x < width; ++zx) {
      const bool last = zx >= zones_across - 1;
      const std::int32_t end = last ? width
                                    : static_cast<std::int32_t>(std::min<std::int64_t>(
                                          width, std::int64_t{x} + zone_width));
      const std::int32_t block = zone_blocks[last ? zones_across - 1 : zx];
      for (; x < end; ++x) *p++ = palette->find(key_of(row[x]), block);
    }
  }
  const std::int64_t padding = bmp_stride(depth, width) - (p - out);
  if (padding > 0) std::memset(p, 0, static_cast<std::size_t>(padding));
  // (At 24 bits the padding is written after the pixels, so it is zero as well.)
}

const img::ZoneLayout* usable_zones(const img::ZonedPalettes* zones, int depth) {
  // A multipalette result that does not cover its zones is not used.
  if (zones == nullptr || depth != 8) return nullptr;
  const img::ZoneLayout& l = zones->layout;
  if (l.zones_across < 1 || l.zones_down < 1 || l.zone_width < 1 || l.zone_height < 1 ||
      zones->zone_palettes.size() < static_cast<std::size_t>(l.zones_across) * l.zones_down) {
    return nullptr;
  }
  return &l;
}

const std::uint8_t* zone_row_blocks(const img::ZonedPalettes& zones, std::int32_t y) {
  const img::ZoneLayout& l = zones.layout;
  const std::int32_t zy = std::min(y / l.zone_height, l.zones_down - 1);
  return zones.zone_palettes.data() + static_cast<std::size_t>(zy) * l.zones_across;
}

platform::Status save_bmp(const std::string& path, int depth, img::ConstPlane source,
                          std::int32_t width, std::int32_t height,
                          std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                          std::uint8_t* row_buffer, const BeforeReplace& before_replace,
                          const img::ZonedPalettes* zones) {
  if (depth != 24 && depth != 16 && depth != 8) return platform::Status::kFileNotSaved;
  // A picture without pixels would replace a file with an empty one.
  if (width < 1 || height < 1) return platform::Status::kFileNotSaved;

  const img::ZoneLayout* layout = usable_zones(zones, depth);
  platform::SafeSave file(path);
  if (!file.ok()) return platform::Status::kFileNotSaved;

  std::uint8_t header[54 + 1024];
  encode_bmp_header(depth, width, height, header);
  std::size_t header_size = 54;
  if (depth == 8) {
    encode_bmp_palette(layout != nullptr ? zones->table : palette_keys, header + 54);
    header_size += 1024;
  }
  bool ok = file.write(header, header_size);

  // Rows are gathered into a batch so that small rows do not cost a write call each; a row
  // larger than the batch goes out from the row buffer on its own.
  constexpr std::size_t kBatchBytes = 64 * 1024;
  std::uint8_t batch[kBatchBytes];
  std::size_t batched = 0;
  const auto stride = static_cast<std::size_t>(std::max<std::int64_t>(bmp_stride(depth, width), 0));
  std::optional<PaletteIndex> palette;
  if (depth == 8 && layout != nullptr) {
    palette.emplace(zones->table, layout->palettes, layout->colours);
  } else if (depth == 8) {
    palette.emplace(palette_keys, pal_size);
  }
  const PaletteIndex* index = palette ? &*palette : nullptr;
  for (std::int32_t y = height - 1; ok && y >= 0; --y) {
    const std::uint8_t* blocks = layout != nullptr ? zone_row_blocks(*zones, y) : nullptr;
    std::uint8_t* out = row_buffer;
    if (stride + 1 <= kBatchBytes) {
      if (batched + stride + 1 > kBatchBytes) {
        ok = file.write(batch, batched);
        batched = 0;
      }
      out = batch + batched;
    }
    encode_bmp_row(depth, source.row(y), width, index, out, blocks,
                   layout != nullptr ? layout->zone_width : 0,
                   layout != nullptr ? layout->zones_across : 0);
    if (out == row_buffer) {
      ok = file.write(row_buffer, stride);
    } else {
      batched += stride;
    }
  }
  if (ok && batched > 0) ok = file.write(batch, batched);
  if (!ok) return platform::Status::kFileNotSaved;
  return file.commit(before_replace);
}

}  // namespace formats
