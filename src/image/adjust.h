// Colour adjustment: contrast around mid-grey, brightness and a separate offset per component.
#pragma once

#include <cstdint>

#include "image/colour_settings.h"
#include "image/plane.h"

namespace img {

// For each component v (blue, green, red) of the top-left w x h pixels of `p`:
// v' = clamp(((v - 128) * (contrast + 128)) >> 7 + brightness + 128 + add, 0, 255).
void adjust_colours(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s);

}  // namespace img
