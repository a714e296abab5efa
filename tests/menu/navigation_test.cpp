// Keyboard navigation: the focus moves of each state, Tab cycling, hotkeys, function keys.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "menu_script.h"

namespace {

using menu_test::fresh_frame;
using menu_test::press_alt;
using menu_test::selected_label;
using platform::ScriptedScreen;
using support::Harness;
namespace scan = platform::scan;

struct FocusCase {
  const char* name;
  std::function<void(ScriptedScreen&)> script;
  int active_panel;
  const char* selected;          // after the next drawing; "" for none
  std::vector<int> open_panels;  // drop-downs on screen, in list order
};

void alt(ScriptedScreen& s) {
  press_alt(s);
}
void ext(ScriptedScreen& s, int code) {
  s.extended(code);
}

const std::vector<FocusCase>& focus_cases() {
  static const std::vector<FocusCase> cases = {
      {"alt gives the menu bar", [](ScriptedScreen& s) { alt(s); }, 0, "  File", {}},
      {"alt twice leaves the menus",
       [](ScriptedScreen& s) {
         alt(s);
         alt(s);
       },
       -1,
       "",
       {}},
      {"down on a title opens it",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
       },
       1,
       "---- close -----",
       {1}},
      {"down in a drop-down",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         ext(s, scan::kDown);
       },
       1,
       " Open",
       {1}},
      {"up from the close entry wraps to the last",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         ext(s, scan::kUp);
       },
       1,
       "height",
       {1}},
      {"left from File wraps to Colors",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kLeft);
       },
       0,
       " Colors",
       {}},
      {"right from Colors wraps to File",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kLeft);
         ext(s, scan::kRight);
       },
       0,
       "  File",
       {}},
      {"right, right, down opens View",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kRight);
         ext(s, scan::kRight);
         ext(s, scan::kDown);
       },
       3,
       "---- close -----",
       {3}},
      {"up, page keys and tab do nothing on the menu bar",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kRight);
         ext(s, scan::kUp);
         ext(s, scan::kPageDown);
         ext(s, scan::kEnd);
         s.key("\t");
       },
       0,
       "  Edit",
       {}},
      {"left, right and page keys do nothing in a drop-down",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         ext(s, scan::kDown);
         ext(s, scan::kLeft);
         ext(s, scan::kRight);
         ext(s, scan::kHome);
       },
       1,
       " Open",
       {1}},
      {"alt in a drop-down gives the bar and leaves it open",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         alt(s);
       },
       0,
       "  File",
       {1}},
      {"ctrl+F4 closes the active drop-down",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         ext(s, scan::kCtrlF4);
       },
       -1,
       "",
       {}},
      {"ctrl+F4 on the menu bar does nothing",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         alt(s);
         ext(s, scan::kCtrlF4);
       },
       0,
       "  File",
       {1}},
      {"the close hotkey leaves the menus inactive",
       [](ScriptedScreen& s) {
         alt(s);
         s.keys("v-");
       },
       -1,
       "",
       {}},
      {"enter on the close entry",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kDown);
         s.key("\r");
       },
       -1,
       "",
       {}},
      {"enter on a title opens it",
       [](ScriptedScreen& s) {
         alt(s);
         ext(s, scan::kLeft);
         s.key("\r");
       },
       4,
       "---- close -----",
       {4}},
      {"a title's hotkey",
       [](ScriptedScreen& s) {
         alt(s);
         s.key("e");
       },
       2,
       "---- close -----",
       {2}},
      {"upper case matches no hotkey",
       [](ScriptedScreen& s) {
         alt(s);
         s.key("E");
       },
       0,
       "  File",
       {}},
      {"inactive menus take no hotkey", [](ScriptedScreen& s) { s.key("f"); }, -1, "", {}},
      {"a sub-panel replaces the one on its home cell",
       [](ScriptedScreen& s) {
         alt(s);
         s.keys("er");  // Edit, then Rotate image takes the focus
         alt(s);
         s.keys("es");  // back to Edit, then reSize image
       },
       6,
       "---- close -----",
       {2, 6}},
      {"opening an open title only moves the focus",
       [](ScriptedScreen& s) {
         alt(s);
         s.key("f");
         alt(s);
         s.key("f");
       },
       1,
       "---- close -----",
       {1}},
      {"F12 opens debug over the main drop-down",
       [](ScriptedScreen& s) {
         alt(s);
         s.keys("cs");
         ext(s, scan::kF12);
       },
       9,
       "---- close -----",
       {7, 9}},
  };
  return cases;
}

TEST(Navigation, FocusMovesByState) {
  for (const FocusCase& c : focus_cases()) {
    SCOPED_TRACE(c.name);
    Harness h;
    ASSERT_TRUE(h.start());
    c.script(h.screen);
    h.screen.then([&h, &c] {
      const menu::MenuState& st = h.app.menus.state;
      EXPECT_EQ(st.active_panel, c.active_panel);
      EXPECT_EQ(selected_label(h.app), c.selected);
      std::vector<int> open;
      for (int i = 4; i < h.app.menus.count(); ++i) {
        const int p = h.app.menus.entry(i).panel;
        if (open.empty() || open.back() != p) open.push_back(p);
      }
      EXPECT_EQ(open, c.open_panels);
    });
    EXPECT_EQ(h.run(), 0);
  }
}

// Tab visits the open drop-downs by panel number, whatever their order in the list, then
// leaves the menus.
TEST(Navigation, TabCyclesByPanelNumber) {
  Harness h;
  ASSERT_TRUE(h.start());
  ScriptedScreen& s = h.screen;
  press_alt(s);
  s.keys("cp");            // Colors (4) and color Palette (8)
  s.extended(scan::kF12);  // debug (9) replaces Colors
  press_alt(s);
  s.key("e");  // Edit (2) replaces debug: the list holds 8, then 2
  press_alt(s);
  press_alt(s);  // inactive
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    s.key("\t");
    s.then([&h, &seen] { seen.push_back(h.app.menus.state.active_panel); });
  }
  s.then([&h] { EXPECT_EQ(selected_label(h.app), "---- close -----"); });
  EXPECT_EQ(h.run(), 0);
  EXPECT_EQ(seen, (std::vector<int>{2, 8, -1, 2}));
}

TEST(Navigation, TabOverColorsAndColorSpace) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("cs");
  press_alt(h.screen);
  press_alt(h.screen);
  std::vector<int> seen;
  for (int i = 0; i < 3; ++i) {
    h.screen.key("\t");
    h.screen.then([&h, &seen] { seen.push_back(h.app.menus.state.active_panel); });
  }
  EXPECT_EQ(h.run(), 0);
  EXPECT_EQ(seen, (std::vector<int>{4, 7, -1}));
}

// "q" in File ends the program at once; "Q" is no hotkey.
TEST(Navigation, QuitHotkeyIsLowerCaseOnly) {
  for (const bool upper : {false, true}) {
    Harness h;
    ASSERT_TRUE(h.start());
    press_alt(h.screen);
    h.screen.key("f");
    h.screen.key(upper ? "Q" : "q");
    bool reached = false;
    h.screen.then([&reached] { reached = true; });
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(reached, upper) << (upper ? "Q" : "q");
  }
}

// The close request ends the program with or without a drop-down open.
TEST(Navigation, CloseRequestEndsTheProgram) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.key("f");
  h.screen.extended(scan::kClose);
  bool reached = false;
  h.screen.then([&reached] { reached = true; });
  EXPECT_EQ(h.run(), 0);
  EXPECT_FALSE(reached);
}

// Arrows reach the view only while no menu has the focus; a drop-down on screen without
// the focus does not stop them, and Up/Down then do not move its selection.
TEST(Navigation, ArrowsMoveTheSelectionOnlyWithTheFocus) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.key("f");
  h.screen.extended(scan::kDown);  // " Open"
  h.screen.key("\t");              // File was the only drop-down: the menus go inactive
  h.screen.then(fresh_frame(h));
  h.screen.extended(scan::kDown);
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.state.active_panel, -1);
    EXPECT_EQ(h.app.menus.state.selected_entry, -1);
    // No entry is drawn selected.
    for (int row = 4; row <= 13; ++row) {
      EXPECT_EQ(h.cell(row, 3).background, menu_test::colour(0)) << row;
    }
  });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
