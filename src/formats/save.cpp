#include "formats/save.h"

#include <algorithm>

#include "formats/bmp_writer.h"
#include "formats/png.h"

namespace formats {

bool names_png(std::string_view path) {
  constexpr std::string_view kPng = ".png";
  if (path.size() < kPng.size()) return false;
  const std::string_view tail = path.substr(path.size() - kPng.size());
  return std::equal(tail.begin(), tail.end(), kPng.begin(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
  });
}

platform::Status save_picture(const std::string& path, int depth, img::ConstPlane source,
                              std::int32_t width, std::int32_t height,
                              std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                              std::uint8_t* row_buffer,
                              const platform::BeforeReplace& before_replace,
                              const img::ZonedPalettes* zones) {
  if (names_png(path)) {
    return save_png(path, depth, source, width, height, palette_keys, pal_size, row_buffer,
                    before_replace, zones);
  }
  return save_bmp(path, depth, source, width, height, palette_keys, pal_size, row_buffer,
                  before_replace, zones);
}

}  // namespace formats
