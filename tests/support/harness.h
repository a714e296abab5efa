// Runs a whole App on the scripted screen inside a temporary folder, and reads the screen
// back as text cells with their colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/app.h"
#include "platform/scripted_screen.h"
#include "support/temp_dir.h"

namespace support {

struct Cell {
  char ch = ' ';
  std::uint32_t foreground = 0;  // 0x00RRGGBB as shown; 0 for a blank cell
  std::uint32_t background = 0;
  bool decoded = true;  // false when the cell holds no glyph (picture pixels)
};

// A settings text in the file's own format (CR LF lines).
std::string settings_text(int mode, int depth, int maxh, int maxv);

class Harness {
 public:
  // settings: the VELDRAN.INI text to write first ("" leaves the folder without one).
  explicit Harness(const std::string& settings = settings_text(18, 32, 256, 256));

  // Start-up with the given picture name; false with the error on failure.
  bool start(const std::string& picture = "");
  // Runs the main loop until the script is used up (the close request then ends it).
  int run();

  platform::ScriptedScreen screen;
  TempDir dir;
  core::App app{screen};
  std::string error;
  std::vector<std::string> warnings;

  Cell cell(int row, int column) const;
  // The characters of one text row (columns from..to, 1-based, inclusive).
  std::string text(int row, int from = 1, int to = -1) const;
  // Where `needle` first appears on screen: {row, column}, or {0, 0}.
  std::pair<int, int> find(const std::string& needle) const;
  std::uint32_t pixel(int x, int y) const { return screen.displayed_rgb(x, y); }
};

}  // namespace support
