#include "formats/png.h"

#include <spng.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "formats/scratch.h"
#include "platform/files.h"

namespace formats {
namespace {

struct ContextFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

// Ancillary chunks are parsed but never used: a few MiB of them is plenty.
constexpr std::size_t kChunkCacheLimit = std::size_t{8} << 20;

// The columns each interlacing pass holds (Adam7); a plain file has one pass of every column.
constexpr std::uint32_t kPassFirstColumn[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr std::uint32_t kPassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

void convert_row_16(const std::uint8_t* rgba, img::Pixel* out, std::uint32_t first,
                    std::uint32_t step, std::uint32_t width) {
  const auto* samples = reinterpret_cast<const std::uint16_t*>(rgba);
  for (std::uint32_t x = first; x < width; x += step) {
    const std::uint16_t* p = samples + 4 * static_cast<std::size_t>(x);
    out[x] = pixel_over_black(reduce_16(p[0]), reduce_16(p[1]), reduce_16(p[2]), reduce_16(p[3]));
  }
}

void convert_row_indexed(const std::uint8_t* indices, img::Pixel* out, std::uint32_t first,
                         std::uint32_t step, std::uint32_t width,
                         const std::array<img::Pixel, 256>& colours) {
  for (std::uint32_t x = first; x < width; x += step) out[x] = colours[indices[x]];
}

// The palette with its tRNS alphas composited over black once; indices past the palette
// are black.
std::array<img::Pixel, 256> palette_over_black(spng_ctx* ctx) {
  std::array<img::Pixel, 256> colours{};
  spng_plte plte{};
  spng_trns trns{};
  if (spng_get_plte(ctx, &plte) != 0) return colours;
  const bool has_trns = spng_get_trns(ctx, &trns) == 0;
  for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
    const std::uint32_t alpha = has_trns && i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
    const spng_plte_entry& e = plte.entries[i];
    colours[i] = pixel_over_black(e.red, e.green, e.blue, alpha);
  }
  return colours;
}

// Every 8-bit file that is not indexed is decoded whole, the way libspng is fastest, into
// the scratch plane's memory taken as width x height packed RGBA pixels; then the rows move
// to their places in the plane, the last row first, turning into pixel words on the way.
bool decode_whole(spng_ctx* ctx, const spng_ihdr& ihdr, const img::ImageStore& store) {
  const img::Plane plane = scratch_plane(store);
  const std::size_t row_bytes = static_cast<std::size_t>(ihdr.width) * 4;
  const std::size_t bytes = row_bytes * ihdr.height;  // at most the plane's size
  auto* packed = reinterpret_cast<std::uint8_t*>(plane.px);
  if (spng_decode_image(ctx, packed, bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) return false;
  for (std::int32_t y = static_cast<std::int32_t>(ihdr.height) - 1; y >= 0; --y) {
    rgba_row_over_black(packed + static_cast<std::size_t>(y) * row_bytes, plane.row(y),
                        static_cast<std::int32_t>(ihdr.width));
  }
  return true;
}

// 16-bit files are read a row at a time at 16 bits, so that the reduction to 8 rounds, and
// 8-bit indexed files as their indices, looked up in the palette composited once.
bool decode_rows(spng_ctx* ctx, const spng_ihdr& ihdr, const img::ImageStore& store) {
  const bool wide = ihdr.bit_depth == 16;
  const int format = wide ? SPNG_FMT_RGBA16 : SPNG_FMT_PNG;
  if (spng_decode_image(ctx, nullptr, 0, format,
                        (wide ? SPNG_DECODE_TRNS : 0) | SPNG_DECODE_PROGRESSIVE) != 0) {
    return false;
  }
  const std::array<img::Pixel, 256> colours =
      wide ? std::array<img::Pixel, 256>{} : palette_over_black(ctx);
  const std::size_t row_bytes = static_cast<std::size_t>(ihdr.width) * (wide ? 8 : 1);
  std::uint8_t* row = store.row_buffer();  // 8 bytes a pixel of the widest picture
  const img::Plane plane = scratch_plane(store);
  // The end of the picture shows either when a row's information is asked for or when the
  // last row is decoded.
  int r = 0;
  while (r == 0) {
    spng_row_info info{};
    r = spng_get_row_info(ctx, &info);
    if (r != 0) break;
    r = spng_decode_row(ctx, row, row_bytes);
    if (r != 0 && r != SPNG_EOI) break;
    const int pass = ihdr.interlace_method != 0 && info.pass >= 0 && info.pass < 7 ? info.pass : 6;
    img::Pixel* out = plane.row(static_cast<std::int32_t>(info.row_num));
    const std::uint32_t first = kPassFirstColumn[pass], step = kPassColumnStep[pass];
    if (wide) {
      convert_row_16(row, out, first, step, ihdr.width);
    } else {
      convert_row_indexed(row, out, first, step, ihdr.width, colours);
    }
  }
  return r == SPNG_EOI;
}

// The size the header chunk names, read before libspng judges the header, so that an
// absurd size is reported as too large rather than as damage.
bool header_too_large(std::span<const std::uint8_t> file, const img::ImageStore& store) {
  if (file.size() < 24 || std::memcmp(file.data() + 12, "IHDR", 4) != 0) return false;
  const auto big_endian = [&file](std::size_t at) {
    return (std::uint32_t{file[at]} << 24) | (std::uint32_t{file[at + 1]} << 16) |
           (std::uint32_t{file[at + 2]} << 8) | file[at + 3];
  };
  return big_endian(16) > static_cast<std::uint32_t>(store.maxh) ||
         big_endian(20) > static_cast<std::uint32_t>(store.maxv);
}

}  // namespace

LoadResult read_png(std::span<const std::uint8_t> file, img::ImageStore& store) {
  if (header_too_large(file, store)) return {platform::Status::kSizeTooLarge, false};
  const Context ctx(spng_ctx_new(0));
  if (!ctx) return damaged();
  spng_set_chunk_limits(ctx.get(), kChunkCacheLimit, kChunkCacheLimit);
  spng_ihdr ihdr{};
  if (spng_set_png_buffer(ctx.get(), file.data(), file.size()) != 0 ||
      spng_get_ihdr(ctx.get(), &ihdr) != 0) {
    return damaged();
  }

  const bool decoded =
      ihdr.bit_depth == 16 || (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED && ihdr.bit_depth == 8)
          ? decode_rows(ctx.get(), ihdr, store)
          : decode_whole(ctx.get(), ihdr, store);
  if (!decoded) return damaged();
  // The rest of the file is read for its checksums; a file that merely ends early (no end
  // chunk) still holds the whole picture.
  const int tail = spng_decode_chunks(ctx.get());
  if (tail != 0 && tail != SPNG_IO_EOF) return damaged();
  return take_scratch(store, static_cast<std::int32_t>(ihdr.width),
                      static_cast<std::int32_t>(ihdr.height));
}

namespace {

// zlib level 2 with libspng's adaptive filtering: much faster than the default level for
// a few percent more bytes.
constexpr int kCompressionLevel = 2;

int write_to_file(spng_ctx*, void* user, void* data, std::size_t length) {
  return static_cast<platform::SafeSave*>(user)->write(data, length) ? 0 : SPNG_IO_ERROR;
}

// One row of file samples: RGB bytes at 24 and 16 bits (at 16 each component keeps its top
// 5 bits, as a 16-bit BMP would), palette indices at 8.
void encode_png_row(int depth, const img::Pixel* row, std::int32_t width,
                    const PaletteIndex* palette, std::uint8_t* out) {
  if (depth == 8) {
    for (std::int32_t x = 0; x < width; ++x) {
      const img::Pixel v = row[x];
      out[x] = palette->find((((v & 0xFF) >> 2) << 12) + ((((v >> 8) & 0xFF) >> 2) << 6) +
                             (((v >> 16) & 0xFF) >> 2));
    }
    return;
  }
  const std::uint32_t keep = depth == 16 ? 0xF8 : 0xFF;
  for (std::int32_t x = 0; x < width; ++x, out += 3) {
    const img::Pixel v = row[x];
    out[0] = static_cast<std::uint8_t>((v >> 16) & keep);
    out[1] = static_cast<std::uint8_t>((v >> 8) & keep);
    out[2] = static_cast<std::uint8_t>(v & keep);
  }
}

// Sets the header and the chunks of the save depth; false when libspng refuses them.
bool describe(spng_ctx* ctx, int depth, std::int32_t width, std::int32_t height,
              std::span<const std::uint32_t> palette_keys) {
  spng_ihdr ihdr{};
  ihdr.width = static_cast<std::uint32_t>(width);
  ihdr.height = static_cast<std::uint32_t>(height);
  ihdr.bit_depth = 8;
  ihdr.color_type = depth == 8 ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR;
  if (spng_set_ihdr(ctx, &ihdr) != 0) return false;
  if (depth == 16) {
    spng_sbit sbit{};
    sbit.red_bits = sbit.green_bits = sbit.blue_bits = 5;
    if (spng_set_sbit(ctx, &sbit) != 0) return false;
  }
  if (depth == 8) {
    // The 8-bit BMP's colour table: each 6-bit component of key k times 4.
    spng_plte plte{};
    plte.n_entries = 256;
    for (std::size_t k = 0; k < 256; ++k) {
      const std::uint32_t p = k < palette_keys.size() ? palette_keys[k] : 0;
      plte.entries[k].red = static_cast<std::uint8_t>((p & 63) * 4);
      plte.entries[k].green = static_cast<std::uint8_t>(((p >> 6) & 63) * 4);
      plte.entries[k].blue = static_cast<std::uint8_t>(((p >> 12) & 63) * 4);
    }
    if (spng_set_plte(ctx, &plte) != 0) return false;
  }
  return spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel) == 0;
}

}  // namespace

platform::Status save_png(const std::string& path, int depth, img::ConstPlane source,
                          std::int32_t width, std::int32_t height,
                          std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                          std::uint8_t* row_buffer, const BeforeReplace& before_replace,
                          const img::ZonedPalettes* zones) {
  if ((depth != 24 && depth != 16 && depth != 8) || width < 1 || height < 1) {
    return platform::Status::kFileNotSaved;
  }
  const Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return platform::Status::kFileNotSaved;
  platform::SafeSave out(path);
  if (!out.ok()) return platform::Status::kFileNotSaved;
  // At 8 bits the palette and the indexes are the 8-bit BMP's, multipalette layout included.
  const img::ZoneLayout* layout = usable_zones(zones, depth);
  std::optional<PaletteIndex> palette;
  if (layout != nullptr) {
    palette.emplace(zones->table, layout->palettes, layout->colours);
  } else if (depth == 8) {
    palette.emplace(palette_keys, pal_size);
  }
  const std::size_t row_bytes = static_cast<std::size_t>(width) * (depth == 8 ? 1 : 3);
  bool ok =
      spng_set_png_stream(ctx.get(), write_to_file, &out) == 0 &&
      describe(ctx.get(), depth, width, height, layout != nullptr ? zones->table : palette_keys) &&
      spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG,
                        SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) == 0;
  for (std::int32_t y = 0; ok && y < height; ++y) {
    if (layout != nullptr) {
      encode_bmp_row(8, source.row(y), width, &*palette, row_buffer, zone_row_blocks(*zones, y),
                     layout->zone_width, layout->zones_across);
    } else {
      encode_png_row(depth, source.row(y), width, palette ? &*palette : nullptr, row_buffer);
    }
    const int r = spng_encode_row(ctx.get(), row_buffer, row_bytes);
    ok = r == 0 || (r == SPNG_EOI && y == height - 1);
  }
  if (!ok) return platform::Status::kFileNotSaved;
  return out.commit(before_replace);
}

}  // namespace formats
