#include "formats/loader.h"

#include <algorithm>
#include <string_view>

#include "formats/bmp_reader.h"
#include "formats/gif.h"
#include "formats/png.h"
#include "formats/webp.h"
#include "platform/files.h"

namespace formats {

namespace {

bool starts_with(std::span<const std::uint8_t> bytes, std::string_view text, std::size_t at = 0) {
  if (bytes.size() < at + text.size()) return false;
  return std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

}  // namespace

Kind kind_of(std::span<const std::uint8_t> bytes) {
  if (starts_with(bytes, "BM")) return Kind::kBmp;
  if (starts_with(bytes, "\xFF\xD8")) return Kind::kJpeg;
  if (starts_with(bytes, "\x89PNG\r\n\x1A\n")) return Kind::kPng;
  if (starts_with(bytes, "GIF87a") || starts_with(bytes, "GIF89a")) return Kind::kGif;
  if (starts_with(bytes, "RIFF") && starts_with(bytes, "WEBP", 8)) return Kind::kWebp;
  return Kind::kNone;
}

LoadResult load_picture(const std::string& path, img::ImageStore& store, JpegDecoder& jpeg) {
  const platform::MappedFile file(path);
  if (!file.ok()) return {platform::Status::kUnrecognizedFile, false, false};
  return load_picture_bytes(file.bytes(), store, jpeg);
}

LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg) {
  switch (kind_of(bytes)) {
    case Kind::kBmp:
      return read_bmp(bytes, store);
    case Kind::kJpeg:
      return jpeg.decode(bytes, store);
    case Kind::kPng:
      return read_png(bytes, store);
    case Kind::kGif:
      return read_gif(bytes, store);
    case Kind::kWebp:
      return read_webp(bytes, store);
    case Kind::kNone:
      break;
  }
  return {platform::Status::kUnrecognizedFile, false, false};
}

}  // namespace formats
