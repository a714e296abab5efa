// Saving picks the file format by the name: PNG for a name ending ".png" in any letter
// case, BMP for every other name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/multipalette.h"
#include "image/plane.h"
#include "platform/files.h"
#include "platform/status.h"

namespace formats {

bool names_png(std::string_view path);

// save_png or save_bmp by the name, with their arguments.
platform::Status save_picture(const std::string& path, int depth, img::ConstPlane source,
                              std::int32_t width, std::int32_t height,
                              std::span<const std::uint32_t> palette_keys, std::int32_t pal_size,
                              std::uint8_t* row_buffer,
                              const platform::BeforeReplace& before_replace = {},
                              const img::ZonedPalettes* zones = nullptr);

}  // namespace formats
