// The interface colours: the sixteen entries of App::interface_colours, by name.
#pragma once

#include <cstdint>

namespace core {

enum class Colour : std::uint8_t {
  kBlack = 0,
  kDarkGrey = 1,
  kGrey = 2,
  kLightGrey = 3,
  kDarkBlue = 4,
  kLightGreen = 5,
  kLightRed = 6,
  kLightBlue = 7,
  kTan = 8,
  kViolet = 9,
};

// 0x00RRGGBB for each colour; the unnamed entries are black.
inline constexpr std::uint32_t kInterfaceColours[16] = {
    0x000000, 0x404040, 0x808080, 0xC0C0C0, 0x000040, 0x80C080, 0xC08080, 0x8080C0,
    0xC0A080, 0xC060C0, 0,        0,        0,        0,        0,        0,
};

}  // namespace core
