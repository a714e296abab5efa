// Keyboard navigation: the focus moves of each state, Tab cycling, hotkeys, function keys.
#include <gtest/gtest.h>

#include <vector>

#include "menu_script.h"

namespace {

using menu_test::fresh_frame;
using menu_test::play;
using menu_test::press_alt;
using menu_test::selected_label;
using platform::ScriptedScreen;
using support::Harness;
namespace scan = platform::scan;

struct FocusCase {
  const char* script;  // space-separated: alt, an arrow or function key, or typed characters
  int active_panel;
  const char* selected;          // after the next drawing; "" for none
  std::vector<int> open_panels;  // drop-downs on screen, in list order
};

const FocusCase kFocusCases[] = {
    {"alt", 0, "  File", {}},
    {"alt alt", -1, "", {}},
    {"alt down", 1, "---- close -----", {1}},
    {"alt down down", 1, " Open", {1}},
    {"alt down up", 1, "height", {1}},  // wraps to the panel's last entry
    {"alt left", 0, " Colors", {}},
    {"alt left right", 0, "  File", {}},
    {"alt right right down", 3, "---- close -----", {3}},
    {"alt right up pgdn end tab", 0, "  Edit", {}},  // nothing on the menu bar
    {"alt down down left right home", 1, " Open", {1}},
    {"alt down alt", 0, "  File", {1}},  // the drop-down stays on screen
    {"alt down ctrl-f4", -1, "", {}},
    {"alt down alt ctrl-f4", 0, "  File", {1}},
    {"alt v-", -1, "", {}},
    {"alt down enter", -1, "", {}},
    {"alt left enter", 4, "---- close -----", {4}},
    {"alt e", 2, "---- close -----", {2}},
    {"alt E", 0, "  File", {}},
    {"f", -1, "", {}},
    {"alt er alt es", 6, "---- close -----", {2, 6}},  // reSize image replaces Rotate image
    {"alt f alt f", 1, "---- close -----", {1}},       // an open title only takes the focus
    {"alt cs f12", 9, "---- close -----", {7, 9}},     // debug replaces Colors
};

TEST(Navigation, FocusMovesByState) {
  for (const FocusCase& c : kFocusCases) {
    SCOPED_TRACE(c.script);
    Harness h;
    ASSERT_TRUE(h.start());
    play(h, c.script);
    h.screen.then([&h, &c] {
      const core::MenuState& st = h.app.menus.state;
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
  // Colors (4), color Palette (8); debug (9) replaces Colors; Edit (2) replaces debug: the
  // list then holds 8 before 2. Then out of the menus.
  play(h, "alt cp f12 alt e alt alt");
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
  play(h, "alt cs alt alt");
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
