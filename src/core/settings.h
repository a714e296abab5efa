// The settings file VELDRAN.INI: display mode, colour depth, the largest picture size and
// (a key the user may add) whether photographs are turned upright.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace core {

struct Settings {
  std::int32_t mode = 18;    // 13..21 a mode number; above 21 a custom WWWWHHHH
  std::int32_t cdep = 32;    // colour depth
  std::int32_t maxh = 4096;  // columns of each image plane
  std::int32_t maxv = 4096;  // rows of each image plane
  std::int32_t orie = 1;     // 0 shows JPEG pictures as stored, ignoring their orientation tag
};

inline constexpr std::string_view kSettingsFileName = "VELDRAN.INI";

// The commented default text written when the file is missing or empty (498 bytes).
std::string_view default_settings_text();

// Applies the keys found in the file's bytes to `settings`. Values saturate at the largest
// 32-bit integer instead of overflowing.
void parse_settings(std::span<const std::uint8_t> bytes, Settings& settings);

// Only the first mebibyte of the file is read: the settings are far shorter.
inline constexpr std::size_t kLargestSettingsFile = std::size_t{1} << 20;

// Reads the file at `path`, or writes the default text there when it is missing or empty
// (the built-in values then stay in force). Problems that the user should know of (a folder
// in the file's place, an unreadable file) are described in `warning`; the values stay.
void read_or_create_settings(const std::string& path, Settings& settings, std::string& warning);

}  // namespace core
