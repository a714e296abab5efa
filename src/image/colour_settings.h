// The settings of the three colour stages, as the menus hold them (option bits and value
// slots); the glue copies them in, the stages only read them.
#pragma once

#include <cstdint>

namespace img {

struct ColourSettings {
  bool adjust_color = false;        // option bit 3: colour adjustment
  bool adjust_depth = false;        // option bit 8: colour reduction
  bool use_palette = false;         // option bit 7: palette mapping
  bool multipalette = false;        // option bit 6: one palette per zone, with use_palette
  bool intensity_bit = false;       // option bit 10
  bool greyscale = false;           // option bit 11
  bool dithering = false;           // option bit 4
  bool floyd_steinberg = false;     // option bit 5, only together with dithering
  std::int32_t contrast = 0;        // value slot 6
  std::int32_t brightness = 0;      // value slot 7
  std::int32_t red_add = 0;         // value slot 8
  std::int32_t green_add = 0;       // value slot 9
  std::int32_t blue_add = 0;        // value slot 10
  std::int32_t red_levels = 256;    // value slot 11
  std::int32_t green_levels = 256;  // value slot 12
  std::int32_t blue_levels = 256;   // value slot 13
  std::int32_t pal_size = 256;      // value slot 15
  std::int32_t palettes = 0;        // value slot 16: "# of palS"
  std::int32_t zone_width = 0;      // value slot 17
  std::int32_t zone_height = 0;     // value slot 18
};

// The view and the writer show the processed image as soon as any stage is on.
constexpr bool shows_processed(const ColourSettings& s) {
  return s.adjust_color || s.adjust_depth || s.use_palette;
}

}  // namespace img
