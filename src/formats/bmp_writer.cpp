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
  // The fields hold the plain products, also for an empty picture of negative size.
  const auto image_size = static_cast<std::uint32_t>(height * bmp_stride(depth, width));
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
  for (std::int32_t k = 0; k < n; ++k) {
    const std::uint32_t key = key_at(palette_keys, static_cast<std::size_t>(k));
    std::uint32_t s = slot_of(key);
    while (index_[s] >= 0 && keys_[s] != key) s = (s + 1) % kSlots;
    if (index_[s] < 0) {  // the first occurrence wins
      keys_[s] = key;
      index_[s] = static_cast<std::int16_t>(k);
    }
  }
}

std::uint8_t PaletteIndex::find(std::uint32_t key) const {
  for (std::uint32_t s = slot_of(key);; s = (s + 1) % kSlots) {
    if (index_[s] < 0) return missing_;
    if (keys_[s] == key) return static_cast<std::uint8_t>(index_[s]);
  }
}

void encode_bmp_row(int depth, const img::Pixel* row, std::int32_t width,
                    const PaletteIndex* palette, std::uint8_t* out) {
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
  } else {
    for (std::int32_t x = 0; x < width; ++x) {
      const img::Pixel v = row[x];
      *p++ = palette->find((((v & 0xFF) >> 2) << 12) + ((((v >> 8) & 0xFF) >> 2) << 6) +
                           (((v >> 16) & 0xFF) >> 2));
    }
  }
  const std::int64_t padding = bmp_stride(depth, width) - (p - out);
  if (padding > 0) std::memset(p, 0, static_cast<std::size_t>(padding));
  // (At 24 bits the padding is written after the pixels, so it is zero as well.)
}

platform::Status save_bmp(const std::string& path, int depth, img::ConstPlane source,
                          std::int32_t width, std::int32_t height,
                          std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                          std::uint8_t* row_buffer, const BeforeReplace& before_replace) {
  if (depth != 24 && depth != 16 && depth != 8) return platform::Status::kFileNotSaved;
  ReplacingFile out(path);
  if (!out.ok()) return platform::Status::kFileNotSaved;

  std::uint8_t header[54 + 1024];
  encode_bmp_header(depth, width, height, header);
  std::size_t header_size = 54;
  if (depth == 8) {
    encode_bmp_palette(palette_keys, header + 54);
    header_size += 1024;
  }
  bool ok = out.write(header, header_size);

  // Rows are gathered into a batch so that small rows do not cost a write call each; a row
  // larger than the batch goes out from the row buffer on its own.
  constexpr std::size_t kBatchBytes = 64 * 1024;
  std::uint8_t batch[kBatchBytes];
  std::size_t batched = 0;
  const auto stride = static_cast<std::size_t>(std::max<std::int64_t>(bmp_stride(depth, width), 0));
  const std::optional<PaletteIndex> palette =
      depth == 8 ? std::optional<PaletteIndex>(std::in_place, palette_keys, pal_size)
                 : std::nullopt;
  const PaletteIndex* index = palette ? &*palette : nullptr;
  for (std::int32_t y = height - 1; ok && y >= 0 && width > 0; --y) {
    if (stride + 1 <= kBatchBytes) {
      if (batched + stride + 1 > kBatchBytes) {
        ok = out.write(batch, batched);
        batched = 0;
      }
      encode_bmp_row(depth, source.row(y), width, index, batch + batched);
      batched += stride;
    } else {
      encode_bmp_row(depth, source.row(y), width, index, row_buffer);
      ok = out.write(row_buffer, stride);
    }
  }
  if (ok && batched > 0) out.write(batch, batched);
  return out.finish(before_replace);
}

}  // namespace formats
