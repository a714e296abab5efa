// Display modes: the numbered modes and custom WWWWHHHH sizes, with their text grids.
#pragma once

#include <cstdint>
#include <string>

namespace core {

struct DisplayMode {
  int width = 0, height = 0;
  int columns = 0, rows = 0;  // text grid
};

// The size and text grid of a display mode; false when the mode is not one the program
// supports (below 13, or a custom size whose text grid has fewer than 34 columns or 23
// rows, that is below 272 x 184, or larger than 8192 on a side).
bool display_mode(std::int32_t mode, DisplayMode& out);

}  // namespace core
