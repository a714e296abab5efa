#include "core/display.h"

namespace core {

namespace {
struct NumberedMode {
  int width, height, columns, rows;
};
constexpr NumberedMode kModes[] = {
    {320, 200, 40, 25},  {320, 240, 40, 30},   {400, 300, 50, 37},
    {512, 384, 64, 24},  {640, 400, 80, 25},   {640, 480, 80, 30},
    {800, 600, 100, 37}, {1024, 768, 128, 48}, {1280, 1024, 160, 64},
};
// The drop-downs, the prompt and the reminder need a text grid of 34 columns by 23 rows.
constexpr int kFewestColumns = 34, kFewestRows = 23;
constexpr int kLargestSide = 8192;  // beyond this no desktop shows the screen
}  // namespace

bool display_mode(std::int32_t mode, DisplayMode& out) {
  if (mode >= 13 && mode <= 21) {
    const NumberedMode& m = kModes[mode - 13];
    out = {m.width, m.height, m.columns, m.rows};
    return true;
  }
  if (mode <= 21) return false;
  const int width = mode / 10000;
  const int height = mode % 10000;
  if (width > kLargestSide || height > kLargestSide) return false;
  // Tall custom screens get 8 x 16 cells; the others keep a new window's 8 x 8 cells.
  const DisplayMode m{width, height, width / 8, height > 400 ? height / 16 : height / 8};
  if (m.columns < kFewestColumns || m.rows < kFewestRows) return false;
  out = m;
  return true;
}

}  // namespace core
