#include "support/harness.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

#include "app/main_loop.h"
#include "core/startup.h"
#include "platform/font_glyphs.inc"

namespace support {

std::string settings_text(int mode, int depth, int maxh, int maxv) {
  return "'''' test settings\r\nmode = " + std::to_string(mode) +
         "\r\ncdep = " + std::to_string(depth) + "\r\nmaxh = " + std::to_string(maxh) +
         "\r\nmaxv = " + std::to_string(maxv) + "\r\n";
}

Harness::Harness(const std::string& settings) {
  if (!settings.empty()) dir.write("VELDRAN.INI", settings);
}

bool Harness::start(const std::string& picture) {
  return core::start_up(app, "VELDRAN.INI", picture, error, warnings);
}

int Harness::run() {
  return veldran::run_main_loop(app);
}

Cell Harness::cell(int row, int column) const {
  const int h = app.screen_record.row_height;
  const int x0 = (column - 1) * 8, y0 = (row - 1) * h;
  std::vector<std::uint32_t> px;
  std::set<std::uint32_t> colours;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < 8; ++x) {
      px.push_back(screen.displayed_rgb(x0 + x, y0 + y));
      colours.insert(px.back());
    }
  }
  Cell c;
  if (colours.size() == 1) {
    c.background = *colours.begin();
    return c;
  }
  if (colours.size() > 2) {
    c.decoded = false;
    c.ch = '?';
    return c;
  }
  const bool tall = h >= 16;
  const int glyph_rows = tall ? 16 : 8;
  const std::uint32_t a = *colours.begin(), b = *colours.rbegin();
  for (int code = 32; code < 256; ++code) {
    const unsigned char* glyph = tall ? kFont8x16[code] : kFont8x8[code];
    for (const std::uint32_t fg : {a, b}) {
      bool match = true;
      for (int y = 0; y < h && match; ++y) {
        const unsigned bits = y < glyph_rows ? glyph[y] : 0;
        for (int x = 0; x < 8; ++x) {
          const bool on = (bits & (0x80u >> x)) != 0;
          if ((px[static_cast<std::size_t>(y * 8 + x)] == fg) != on) {
            match = false;
            break;
          }
        }
      }
      if (match) {
        c.ch = static_cast<char>(code);
        c.foreground = fg;
        c.background = fg == a ? b : a;
        return c;
      }
    }
  }
  c.decoded = false;
  c.ch = '?';
  return c;
}

std::string Harness::text(int row, int from, int to) const {
  if (to < 0) to = app.screen_record.text_columns;
  std::string s;
  for (int col = from; col <= to; ++col) s += cell(row, col).ch;
  return s;
}

std::pair<int, int> Harness::find(const std::string& needle) const {
  for (int row = 1; row <= app.screen_record.text_rows; ++row) {
    const std::size_t at = text(row).find(needle);
    if (at != std::string::npos) return {row, static_cast<int>(at) + 1};
  }
  return {0, 0};
}

}  // namespace support
