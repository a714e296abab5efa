#include "formats/exif.h"

#include <cstring>

namespace formats {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kEntrySize = 12;

// Reads the TIFF structure after "Exif\0\0" in either byte order; every read is checked.
class TiffReader {
 public:
  TiffReader(std::span<const std::uint8_t> tiff, bool big_endian)
      : tiff_(tiff), big_endian_(big_endian) {}

  bool u16(std::size_t at, std::uint16_t& out) const {
    if (at > tiff_.size() || tiff_.size() - at < 2) return false;
    const std::uint8_t* p = tiff_.data() + at;
    out = big_endian_ ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                      : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
    return true;
  }
  bool u32(std::size_t at, std::uint32_t& out) const {
    std::uint16_t a = 0, b = 0;
    if (!u16(at, a) || !u16(at + 2, b)) return false;
    out = big_endian_ ? (std::uint32_t{a} << 16 | b) : (std::uint32_t{b} << 16 | a);
    return true;
  }
  std::size_t size() const { return tiff_.size(); }

 private:
  std::span<const std::uint8_t> tiff_;
  bool big_endian_;
};

}  // namespace

int exif_orientation(std::span<const std::uint8_t> payload) {
  static constexpr std::uint8_t kSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (payload.size() < 6 + 8 || std::memcmp(payload.data(), kSignature, 6) != 0) return 1;
  const std::span<const std::uint8_t> tiff = payload.subspan(6);
  bool big_endian = false;
  if (tiff[0] == 'M' && tiff[1] == 'M') {
    big_endian = true;
  } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
    return 1;
  }
  const TiffReader r(tiff, big_endian);
  std::uint16_t magic = 0;
  std::uint32_t ifd = 0;
  std::uint16_t count = 0;
  if (!r.u16(2, magic) || magic != 42 || !r.u32(4, ifd) || !r.u16(ifd, count)) return 1;
  // Only the entries that lie wholly inside the segment are looked at, however many the
  // count claims.
  const std::size_t first = std::size_t{ifd} + 2;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = first + i * kEntrySize;
    if (at > r.size() || r.size() - at < kEntrySize) break;
    std::uint16_t tag = 0, type = 0, value = 0;
    std::uint32_t items = 0;
    r.u16(at, tag);
    if (tag != kOrientationTag) continue;
    r.u16(at + 2, type);
    r.u32(at + 4, items);
    r.u16(at + 8, value);
    if (type != kShortType || items != 1 || value < 1 || value > 8) return 1;
    return value;
  }
  return 1;
}

}  // namespace formats
