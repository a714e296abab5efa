#include "formats/bmp_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace formats {
namespace {

constexpr std::size_t kHeaderBytes = 54;
constexpr std::size_t kPaletteBytes = 1024;

// Little-endian field; bytes beyond the end of the file read as zero.
std::uint32_t field(std::span<const std::uint8_t> file, std::size_t offset, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    const std::size_t at = offset + static_cast<std::size_t>(i);
    const std::uint32_t b = at < file.size() ? file[at] : 0;
    v |= b << (8 * i);
  }
  return v;
}

// Copies what the file holds of `count` bytes from `offset`; returns how many it held.
std::size_t copy_bytes(std::span<const std::uint8_t> file, std::uint64_t offset, std::size_t count,
                       std::uint8_t* out) {
  std::size_t avail = 0;
  if (offset < file.size()) {
    avail = static_cast<std::size_t>(std::min<std::uint64_t>(count, file.size() - offset));
    std::memcpy(out, file.data() + offset, avail);
  }
  if (avail < count) std::memset(out + avail, 0, count - avail);
  return avail;
}

void convert_8(const std::uint8_t* src, img::Pixel* out, std::int32_t width,
               const std::array<img::Pixel, 256>& palette) {
  for (std::int32_t x = 0; x < width; ++x) out[x] = palette[src[x]];
}

void convert_16(const std::uint8_t* src, img::Pixel* out, std::int32_t width) {
  for (std::int32_t x = 0; x < width; ++x) {
    const unsigned v = src[2 * x] | (static_cast<unsigned>(src[2 * x + 1]) << 8);
    // Each 5-bit value moves up 3 bits; the top bits are not replicated (31 -> 248).
    out[x] = img::make_pixel(static_cast<int>(((v >> 10) & 0x1F) << 3),
                             static_cast<int>(((v >> 5) & 0x1F) << 3),
                             static_cast<int>((v & 0x1F) << 3));
  }
}

void convert_24(const std::uint8_t* src, img::Pixel* out, std::int32_t width) {
  // Blue, green, red are the low three bytes of a little-endian word read at the pixel;
  // the last pixel is read bytewise so that nothing past the row is touched.
  std::int32_t x = 0;
  for (; x + 1 < width; ++x) {
    std::uint32_t word;
    std::memcpy(&word, src + 3 * x, 4);
    out[x] = (word & 0xFFFFFF);
  }
  for (; x < width; ++x) out[x] = img::make_pixel(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
}

}  // namespace

LoadResult read_bmp(std::span<const std::uint8_t> file, img::ImageStore& store) {
  const auto width = static_cast<std::int32_t>(field(file, 18, 4));
  const auto height = static_cast<std::int32_t>(field(file, 22, 4));
  if (width > store.maxh || height > store.maxv) {
    return {platform::Status::kSizeTooLarge, false, false};
  }
  store.width = width;
  store.height = height;

  const int bits = static_cast<int>(field(file, 28, 2));
  const int bytes_per_pixel = bits == 8 ? 1 : bits == 16 ? 2 : 3;
  std::uint64_t pixel_start = kHeaderBytes;

  // Only the palette entries' first three bytes reach the picture.
  std::array<img::Pixel, 256> palette{};
  if (bits == 8) {
    for (std::size_t k = 0; k < 256; ++k) {
      palette[k] = field(file, kHeaderBytes + 4 * k, 3);
    }
    pixel_start += kPaletteBytes;
  }
  if (width < 1 || height < 1) return {platform::Status::kFileLoaded, true};

  const std::size_t row_bytes = static_cast<std::size_t>(width) * bytes_per_pixel;
  const std::size_t stride = (row_bytes + 3) & ~std::size_t{3};
  std::uint8_t* row = store.row_buffer();
  const img::Plane plane = store.working();
  for (std::int32_t r = 0; r < height; ++r) {
    const std::uint64_t offset = pixel_start + static_cast<std::uint64_t>(r) * stride;
    const std::uint8_t* src = row;
    std::int32_t whole_pixels = width;
    if (offset + row_bytes <= file.size()) {
      src = file.data() + offset;  // the whole row is there: convert it in place
    } else {
      whole_pixels = static_cast<std::int32_t>(copy_bytes(file, offset, row_bytes, row) /
                                               static_cast<std::size_t>(bytes_per_pixel));
    }
    img::Pixel* out = plane.row(height - 1 - r);
    switch (bytes_per_pixel) {
      case 1:
        convert_8(src, out, whole_pixels, palette);
        break;
      case 2:
        convert_16(src, out, whole_pixels);
        break;
      default:
        convert_24(src, out, whole_pixels);
        break;
    }
    // Pixels the file does not hold (wholly) are black.
    std::fill(out + whole_pixels, out + width, img::Pixel{0});
  }
  return {platform::Status::kFileLoaded, true};
}

}  // namespace formats
