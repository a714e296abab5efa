// Opening, closing and dragging drop-downs: home-cell replacement, dragged drop-downs
// surviving, the drag's clamping and carry, and hits of the pointer on entries.
#include <gtest/gtest.h>

#include <set>

#include "core/menu_state.h"
#include "menu_script.h"

namespace {

using menu_test::click;
using menu_test::colour;
using menu_test::fresh_frame;
using menu_test::press_alt;
using menu_test::right_drag;
using menu_test::selected_label;
using support::Harness;

std::set<int> open_drop_downs(const core::Menus& m) {
  std::set<int> open;
  for (int i = 0; i < m.count(); ++i) {
    if (m.entry(i).panel > 0) open.insert(m.entry(i).panel);
  }
  return open;
}

// A drop-down dragged off its home cell stays when another takes the home cell; a click on
// a title while the menus are inactive opens the panel without giving it the focus.
TEST(Panels, DraggedDropDownSurvivesOpeningAnother) {
  Harness h;
  ASSERT_TRUE(h.start());
  click(h, 2, 4);                      // "  File" while the menus are inactive
  right_drag(h, 4, 4, 38 * 8 + 5, 0);  // File to column 40
  click(h, 2, 24);                     // "  View"
  h.screen.then(fresh_frame(h));
  h.screen.then([&h] {
    const core::Menus& m = h.app.menus;
    EXPECT_EQ(m.state.active_panel, -1);
    EXPECT_EQ(m.count(), 24);
    EXPECT_EQ(open_drop_downs(m), (std::set<int>{1, 3}));
    EXPECT_EQ(h.text(4, 40, 55), "---- close -----");
    EXPECT_EQ(h.text(10, 40, 55), " Quit           ");
    EXPECT_EQ(h.text(4, 2, 17), "---- close -----");
    EXPECT_EQ(h.text(5, 2, 7), "aspect");
  });
  // A click on the open "  View" title again only gives View the focus.
  click(h, 2, 24);
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.count(), 24);
    EXPECT_EQ(h.app.menus.state.active_panel, 3);
    EXPECT_EQ(selected_label(h.app), "---- close -----");
  });
  EXPECT_EQ(h.run(), 0);
}

// Only by dragging can all nine drop-downs be open at once: 74 entries.
TEST(Panels, AllNineOpenHoldSeventyFourEntries) {
  Harness h;
  ASSERT_TRUE(h.start());
  constexpr int kCol = 8, kRow = 16;            // pixels per column and row
  click(h, 2, 4);                               // File
  right_drag(h, 4, 4, 38 * kCol, 0);            //   to (40, 4)
  click(h, 2, 14);                              // Edit
  click(h, 9, 4);                               //   Rotate image
  right_drag(h, 4, 20, 41 * kCol, 19 * kRow);   //   to (60, 23)
  click(h, 10, 4);                              //   reSize image
  right_drag(h, 4, 20, 41 * kCol, 11 * kRow);   //   to (60, 15)
  right_drag(h, 4, 4, 58 * kCol, 0);            // Edit to (60, 4)
  click(h, 2, 34);                              // Colors
  click(h, 11, 4);                              //   color Space
  right_drag(h, 4, 20, -17 * kCol, 11 * kRow);  //   to (2, 15)
  click(h, 12, 4);                              //   color Palette
  right_drag(h, 4, 20, 0, 11 * kRow);           //   to (19, 15)
  right_drag(h, 4, 4, 38 * kCol, 11 * kRow);    // Colors to (40, 15)
  click(h, 2, 24);                              // View
  right_drag(h, 4, 4, 18 * kCol, 0);            //   to (20, 4)
  h.screen.extended(platform::scan::kF12);      // debug at (2, 4)
  h.screen.then(fresh_frame(h));
  h.screen.then([&h] {
    const core::Menus& m = h.app.menus;
    EXPECT_EQ(m.count(), 74);
    EXPECT_EQ(open_drop_downs(m), (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    struct Seen {
      int row, column;
      const char* text;
    };
    constexpr Seen kSeen[] = {
        {10, 40, " Quit           "}, {6, 60, "flip X          "},  {25, 60, "....confirm....."},
        {19, 60, "nEw x          0"}, {25, 2, "[_] Floyd/steinb"},  {16, 19, "[_] Use palette "},
        {18, 40, "brigHt         0"}, {12, 20, "[X] Automatic   "}, {8, 2, "debug 4        0"},
    };
    for (const Seen& s : kSeen) {
      EXPECT_EQ(h.text(s.row, s.column, s.column + 15), s.text) << s.row << "," << s.column;
    }
  });
  EXPECT_EQ(h.run(), 0);
}

// Dragged right and down a drop-down stops short of the last column and the last row;
// dragged up and left it stops at the first, over the menu bar.
TEST(Panels, DragIsClampedToTheScreen) {
  Harness h;  // 80 x 30 cells of 8 x 16 pixels
  ASSERT_TRUE(h.start());
  click(h, 2, 4);
  right_drag(h, 5, 4, 639 - 11, 479 - 72);  // from " Open" to the bottom-right pixel
  h.screen.then(fresh_frame(h));
  h.screen.then([&h] {
    const core::OpenEntry& first = h.app.menus.entry(4);
    EXPECT_EQ(first.column, 64);
    EXPECT_EQ(first.row, 20);
    EXPECT_EQ(h.text(20, 64, 79), "---- close -----");
    EXPECT_EQ(h.text(29, 64, 79), "height         0");
    EXPECT_EQ(h.cell(29, 80).background, colour(0));
    EXPECT_EQ(h.text(30), std::string(80, ' '));
  });
  right_drag(h, 21, 66, -1000, -1000);
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.entry(4).column, 1);
    EXPECT_EQ(h.app.menus.entry(4).row, 1);
  });
  EXPECT_EQ(h.run(), 0);
}

// Movement smaller than a cell is not lost: the drag origin moves by whole cells only.
TEST(Panels, DragCarriesSubCellMovement) {
  Harness h;
  ASSERT_TRUE(h.start());
  click(h, 2, 4);
  h.screen.mouse(11, 72, 2);                                   // right press on " Open"
  for (int x = 17; x <= 35; x += 6) h.screen.mouse(x, 72, 2);  // 6 pixels a pass
  h.screen.then([&h] { EXPECT_EQ(h.app.menus.state.dragged_panel, 1); });
  h.screen.mouse(35, 72 + 15, 2);  // 15 pixels down: less than a row
  h.screen.mouse(35, 72, 0).idle();
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.entry(4).column, 5);  // 24 pixels: three whole columns
    EXPECT_EQ(h.app.menus.entry(4).row, 4);
    EXPECT_EQ(h.app.menus.state.dragged_panel, 0);
  });
  EXPECT_EQ(h.run(), 0);
}

// The right button on a title or on empty screen drags nothing.
TEST(Panels, OnlyDropDownsAreDragged) {
  Harness h;
  ASSERT_TRUE(h.start());
  click(h, 2, 4);
  right_drag(h, 2, 14, 80, 80);   // on "  Edit"
  right_drag(h, 20, 40, -80, 0);  // on nothing
  h.screen.then([&h] {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.app.menus.entry(i).row, 2);
    EXPECT_EQ(h.app.menus.entry(4).column, 2);
    EXPECT_EQ(h.app.menus.entry(4).row, 4);
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(Panels, EntryAtPointEdges) {
  core::Menus m;
  m.open_panel(1);  // File at (2, 4): pixels x 8..136, y 48..63 for rows 16 high
  struct Hit {
    int x, y, entry;
  };
  constexpr Hit kHits[] = {
      {8, 48, 4},  {136, 48, 4}, {137, 48, -1}, {7, 48, -1}, {8, 63, 4},   {8, 64, 5},
      {64, 16, 0}, {72, 16, 0},  {73, 16, -1},  {88, 31, 1}, {-1, -1, -1}, {8, 47, -1},
  };
  for (const Hit& hit : kHits) {
    EXPECT_EQ(m.entry_at_point(hit.x, hit.y, 16), hit.entry) << hit.x << "," << hit.y;
  }
}

// Closing Colors under color Space removes its nine entries; the sub-panel moves up in the
// list and stays open with its selection, which follows its entry.
TEST(Panels, ClosingAnUnfocusedDropDownKeepsTheFocusAndSelection) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("cs");
  for (int i = 0; i < 4; ++i) h.screen.extended(platform::scan::kDown);  // to "Red"
  h.screen.then([&h] {
    EXPECT_EQ(selected_label(h.app), "Red");
    EXPECT_EQ(h.app.menus.count(), 4 + 9 + 11);
  });
  click(h, 4, 4);  // Colors' close entry
  h.screen.then(fresh_frame(h));
  h.screen.then([&h] {
    const core::Menus& m = h.app.menus;
    EXPECT_EQ(m.count(), 4 + 11);
    EXPECT_EQ(open_drop_downs(m), (std::set<int>{7}));
    EXPECT_EQ(m.first_entry_of_panel(7), 4);
    EXPECT_EQ(m.state.active_panel, 7);
    EXPECT_EQ(selected_label(h.app), "Red");
    EXPECT_EQ(h.cell(8, 20).background, colour(3));
    EXPECT_EQ(h.text(8, 19, 34), "Red          256");
  });
  h.screen.extended(platform::scan::kDown);
  h.screen.then([&h] { EXPECT_EQ(selected_label(h.app), "Green"); });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
