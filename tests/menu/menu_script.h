// Helpers for driving the menus through the scripted screen: Alt presses, clicks and
// right-button drags on text cells, and a fresh black frame to draw the menus over.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

#include "core/startup.h"
#include "platform/keys.h"
#include "support/harness.h"

namespace menu_test {

// Interface colour n as the screen shows it (32-bit screens).
constexpr std::uint32_t colour(int n) {
  return core::kInterfaceColours[n];
}

inline std::string trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

inline void press_alt(platform::ScriptedScreen& s) {
  s.hold({platform::scan::kAlt}).hold({});
}

// A point inside text cell (row, column).
struct Point {
  int x = 0, y = 0;
};
inline Point inside_cell(const support::Harness& h, int row, int column) {
  const int rh = h.app.screen_record.row_height;
  return {(column - 1) * 8 + 3, (row - 1) * rh + rh / 2};
}

inline void click(support::Harness& h, int row, int column) {
  const Point p = inside_cell(h, row, column);
  h.screen.mouse(p.x, p.y, 1).mouse(p.x, p.y, 0);
}

// Right-press on (row, column), move the pointer by (dx, dy) pixels, release.
inline void right_drag(support::Harness& h, int row, int column, int dx, int dy) {
  const Point p = inside_cell(h, row, column);
  h.screen.mouse(p.x, p.y, 2).mouse(p.x + dx, p.y + dy, 2).mouse(p.x + dx, p.y + dy, 0);
}

// Plays a space-separated script: "alt", "tab", "enter", an arrow or function key ("down",
// "pgdn", "f12", "ctrl-f4", ...), a left click on a cell ("click:ROW,COL"), or characters
// typed one by one.
inline void play(support::Harness& h, const std::string& script) {
  platform::ScriptedScreen& s = h.screen;
  static const std::map<std::string, int> kExtended = {
      {"up", platform::scan::kUp},          {"down", platform::scan::kDown},
      {"left", platform::scan::kLeft},      {"right", platform::scan::kRight},
      {"pgdn", platform::scan::kPageDown},  {"home", platform::scan::kHome},
      {"end", platform::scan::kEnd},        {"f12", platform::scan::kF12},
      {"ctrl-f4", platform::scan::kCtrlF4},
  };
  std::istringstream in(script);
  for (std::string token; in >> token;) {
    if (token == "alt") {
      press_alt(s);
    } else if (token.rfind("click:", 0) == 0) {
      int row = 0, column = 0;
      char comma = 0;
      std::istringstream(token.substr(6)) >> row >> comma >> column;
      click(h, row, column);
    } else if (token == "tab") {
      s.key("\t");
    } else if (token == "enter") {
      s.key("\r");
    } else if (kExtended.count(token) != 0) {
      s.extended(kExtended.at(token));
    } else {
      s.keys(token);
    }
  }
}

// Blanks the screen and asks for a present, so that the next frame shows exactly what the
// menu drawing puts over a black picture.
inline std::function<void()> fresh_frame(support::Harness& h) {
  return [&h] {
    std::memset(h.screen.framebuffer(), 0, h.screen.pixels().size());
    h.app.frame.present_request = 1;
  };
}

// The label of the selected entry without its padding, or "" when none is selected.
inline std::string selected_label(const core::App& app) {
  const int i = app.menus.state.selected_entry;
  if (i < 0 || i >= app.menus.count()) return "";
  return trimmed(app.menus.entry(i).item->label);
}

}  // namespace menu_test
