// Multipalette: the picture cut into zones from its top-left corner, n palettes of at most k
// colours, each zone using one of them; every pixel takes the nearest colour (squared
// distance over red, green and blue; the lower index among equals) of its zone's palette.
// The palettes and the zones' choices are made to keep the picture's total squared error
// small: zones are summarised as a few weighted colours, grouped by splitting the group with
// the largest error, then palettes (weighted k-means) and choices are refined in turns, and
// finished against the exact pixels. Colours are 6-bit colour keys, as the single palette's.
// The result depends on nothing but the picture and the settings.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "image/colour_settings.h"
#include "image/plane.h"

namespace img {

// Palette p's colour c is entry p * colours + c of the 256-entry colour table; zone (zx, zy)
// covers columns zx * zone_width ... and rows zy * zone_height ..., cut at the picture's edges.
struct ZoneLayout {
  std::int32_t palettes = 1;  // n
  std::int32_t colours = 1;   // k
  std::int32_t zone_width = 1, zone_height = 1;
  std::int32_t zones_across = 0, zones_down = 0;
};

// The layout for a w x h picture: k is `Pal size` limited to 1 ... 256; n is `# of palS`, at
// least 1 and lowered until n x k fits in 256 entries; zone sizes below 1 count as 1.
ZoneLayout zone_layout(std::int32_t w, std::int32_t h, const ColourSettings& s);

// A run's result, as the 8-bit writer and the tests read it.
struct ZonedPalettes {
  ZoneLayout layout;
  std::span<const std::uint32_t> table;          // 256 colour keys, unused entries 0
  std::span<const std::uint16_t> palette_sizes;  // colours in use in each palette
  std::span<const std::uint8_t> zone_palettes;   // each zone's palette, row of zones by row
};

class Multipalette {
 public:
  Multipalette();
  ~Multipalette();
  Multipalette(const Multipalette&) = delete;
  Multipalette& operator=(const Multipalette&) = delete;

  // Takes all the memory for pictures up to max_width x max_height; false when it cannot be
  // had (the stage then leaves pictures as they are).
  bool reserve(std::int32_t max_width, std::int32_t max_height);
  bool ok() const;

  // 1 or 2 threads; the result is the same.
  void set_threads(int threads);

  // The stage on the top-left w x h pixels of `p` (at most the reserved size), with the
  // palette settings of `s`. Returns the number of colours in all palettes.
  std::int32_t build_and_map(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s);

  // The last run's palettes and zones.
  ZonedPalettes result() const;

  struct Work;

 private:
  std::unique_ptr<Work> work_;
};

}  // namespace img
