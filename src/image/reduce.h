// Colour reduction: a limited number of evenly spaced levels per component (optionally with
// an intensity bit that lifts all three together) or grey, rounded plainly, with an ordered
// checkerboard or with Floyd-Steinberg error diffusion.
#pragma once

#include <cstdint>

#include "image/colour_settings.h"
#include "image/plane.h"

namespace img {

// Reduces the top-left w x h pixels of `p` in place, by the levels and options of `s`.
void reduce_colours(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s);

// The lattice of the colour path: the step of each component and the intensity offset.
// A level count of 1 or less gives step 510 (the only lattice value is 0); a step that
// would be 0 (too many levels) is raised to 1.
struct ColourLattice {
  std::int32_t blue_step = 1;
  std::int32_t green_step = 1;
  std::int32_t red_step = 1;
  std::int32_t intensity = 0;  // h: half the green step, added to all three components
  bool intensity_bit = false;
};
ColourLattice colour_lattice(const ColourSettings& s);

}  // namespace img
