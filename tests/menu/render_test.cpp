// What a present draws over the picture: the current-file line, titles and drop-downs in
// the colours of their kinds, the selection bar with its caps, check marks, value fields,
// the frame-rate line and the status line.
#include "menu/render.h"

#include <gtest/gtest.h>

#include "menu_script.h"

namespace {

using menu_test::colour;
using menu_test::fresh_frame;
using menu_test::press_alt;
using support::Harness;

constexpr int kBlack = 0, kGrey = 2, kLightGrey = 3, kDarkBlue = 4, kGreen = 5, kRed = 6, kBlue = 7;

struct Formatted {
  float value;
  const char* shown;
};

// Digits are cut from the single-precision value, never rounded.
constexpr Formatted kFormatting[] = {
    {0.0f, "0"},
    {256.0f, "256"},
    {-5.0f, "-5"},
    {9999999.0f, "9999999"},
    {10000000.0f, "big num"},
    {-999999.0f, "-999999"},
    {-1000000.0f, "big num"},
    {0.5f, ".500000"},
    {-0.5f, "-.50000"},
    {12.3f, "12.3000"},
    {123456.5f, "123456."},
    {1.05f, "1.04999"},
    {0.95f, ".949999"},
    {3.0e9f, "big num"},
    {-7.25f, "-7.2500"},
};

TEST(FormatValue, CutsDigitsToSevenCharacters) {
  for (const Formatted& f : kFormatting) {
    EXPECT_EQ(menu::format_value(f.value), f.shown) << "value " << f.value;
  }
}

// The same values in a real slot on screen: right-aligned in the 7-cell field of "Angle"
// (Rotate image, row 5, columns 19 to 34), light grey on dark blue, blanks included.
TEST(Render, ValueFieldShowsEveryFormattingRowRightAligned) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("er");  // Edit, then Rotate image
  for (const Formatted& f : kFormatting) {
    h.screen.then([&h, f] {
      h.app.menus.real(core::slot::kAngle) = f.value;
      fresh_frame(h)();
    });
    h.screen.then([&h, f] {
      std::string expected = f.shown;
      expected.insert(0, 7 - expected.size(), ' ');
      EXPECT_EQ(h.text(5, 28, 34), expected) << "value " << f.value;
      for (int col = 28; col <= 34; ++col) {
        EXPECT_EQ(h.cell(5, col).background, colour(kDarkBlue)) << col;
      }
      EXPECT_EQ(h.cell(5, 34).foreground, colour(kLightGrey));
      EXPECT_EQ(h.text(5, 19, 27), "Angle    ");
      EXPECT_EQ(h.cell(5, 19).foreground, colour(kGrey));
    });
  }
  EXPECT_EQ(h.run(), 0);
}

// Edited values show "big num" in the field colours, shown values in their label's.
TEST(Render, BigNumKeepsTheColoursOfItsKind) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.screen.extended(platform::scan::kF12);  // debug panel at (2, 4)
  h.screen.then([&h] {
    h.app.menus.integer(23) = -1000000;  // "debug 4", which nothing else writes
    fresh_frame(h)();
  });
  h.screen.then([&h] {
    EXPECT_EQ(h.text(8, 2, 17), "debug 4  big num");
    EXPECT_EQ(h.cell(8, 11).foreground, colour(kGrey));
    EXPECT_EQ(h.cell(8, 11).background, colour(kBlack));
    // The input pass copied the focus, selection and options before F12 opened the panel.
    EXPECT_EQ(h.text(5, 2, 17), "debug 1       -1");
    EXPECT_EQ(h.text(6, 2, 17), "debug 2       -1");
    EXPECT_EQ(h.text(7, 2, 17), "debug 3      512");
  });
  h.screen.extended(platform::scan::kCtrlF4);  // not active: nothing closes
  press_alt(h.screen);
  h.screen.key("c");  // Colors replaces debug at the shared home cell
  h.screen.then([&h] {
    EXPECT_FALSE(h.app.menus.panel_is_open(9));
    h.app.menus.integer(core::slot::kContrast) = 10000000;
    fresh_frame(h)();
  });
  h.screen.then([&h] {
    EXPECT_EQ(h.text(6, 2, 17), "Contrast big num");
    EXPECT_EQ(h.cell(6, 11).foreground, colour(kLightGrey));
    EXPECT_EQ(h.cell(6, 11).background, colour(kDarkBlue));
    EXPECT_EQ(h.cell(6, 2).foreground, colour(kGrey));
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(Render, CurrentFileLineAndMenuBar) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.screen.then([&h] {
    EXPECT_EQ(h.text(1, 1, 30), "  current file: default.bmp   ");
    EXPECT_EQ(h.cell(1, 3).foreground, colour(kGreen));
    EXPECT_EQ(h.cell(1, 3).background, colour(kBlack));
    EXPECT_EQ(h.text(2, 1, 40), "   File      Edit      View     Colors  ");
    for (const int col : {4, 14, 24, 33}) {
      EXPECT_EQ(h.cell(2, col).foreground, colour(kBlue)) << col;
      EXPECT_EQ(h.cell(2, col).background, colour(kBlack)) << col;
    }
    // Nothing selected and no status message while the menus are inactive.
    EXPECT_EQ(h.text(23, 1, 30), std::string(30, ' '));
    h.app.current_name = "a-name-of-exactly-thirty-chars";
    fresh_frame(h)();
  });
  h.screen.then([&h] {
    // Only the first 24 characters of the name.
    EXPECT_EQ(h.text(1, 3, 42), "current file: a-name-of-exactly-thirty  ");
  });
  EXPECT_EQ(h.run(), 0);
}

// File opened from the keyboard: every entry in its kind's colour, the close entry on a
// light bar 4 pixels wider than the entry on each side with rounded ends.
TEST(Render, DropDownKindsAndSelectionBar) {
  struct Row {
    int row;
    const char* text;
    int foreground;
  };
  constexpr Row kFileRows[] = {
      {5, " Open           ", kRed},   {6, " Save           ", kRed},
      {7, " save as Bmp 24 ", kRed},   {10, " Quit           ", kRed},
      {11, "current image   ", kGrey}, {12, "width          0", kGrey},
      {13, "height         0", kGrey},
  };
  Harness h;  // 640 x 480, rows 16 pixels high
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.extended(platform::scan::kDown);
  h.screen.then([&h, &kFileRows] {
    EXPECT_EQ(h.text(4, 2, 17), "---- close -----");
    EXPECT_EQ(h.cell(4, 2).foreground, colour(kRed));
    EXPECT_EQ(h.cell(4, 2).background, colour(kLightGrey));
    EXPECT_EQ(h.cell(4, 17).background, colour(kLightGrey));
    for (const Row& r : kFileRows) {
      const std::string text = r.text;
      EXPECT_EQ(h.text(r.row, 2, 1 + static_cast<int>(text.size())), text);
      EXPECT_EQ(h.cell(r.row, 3).foreground, colour(r.foreground)) << r.text;
      EXPECT_EQ(h.cell(r.row, 3).background, colour(kBlack)) << r.text;
    }
    // The caps: line k (0..3) at x = 7 - k and x = 136 + k, from y = 48 + k to 63 - k.
    const std::uint32_t bar = colour(kLightGrey);
    for (int k = 0; k < 4; ++k) {
      for (const int x : {7 - k, 136 + k}) {
        EXPECT_EQ(h.pixel(x, 48 + k), bar) << x;
        EXPECT_EQ(h.pixel(x, 63 - k), bar) << x;
        if (k > 0) {
          EXPECT_NE(h.pixel(x, 48 + k - 1), bar) << x;
          EXPECT_NE(h.pixel(x, 63 - k + 1), bar) << x;
        }
      }
    }
    EXPECT_NE(h.pixel(3, 56), bar);
    EXPECT_NE(h.pixel(140, 56), bar);
  });
  EXPECT_EQ(h.run(), 0);
}

// Check boxes show X for a set bit, an underscore again once it is cleared.
TEST(Render, CheckMarksFollowTheOptionFlags) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.key("v");
  h.screen.then([&h] {
    EXPECT_EQ(h.text(10, 2, 17), "[_] locK view   ");
    EXPECT_EQ(h.text(12, 2, 17), "[X] Automatic   ");
    EXPECT_EQ(h.cell(12, 3).foreground, colour(kGreen));
  });
  h.screen.keys("ka");  // toggle both
  h.screen.then([&h] {
    EXPECT_EQ(h.text(10, 2, 17), "[X] locK view   ");
    EXPECT_EQ(h.text(12, 2, 17), "[_] Automatic   ");
    EXPECT_EQ(h.cell(10, 3).foreground, colour(kGreen));
    EXPECT_EQ(h.app.menus.option_flags, 1u);
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(Render, StatusLineShowsTheMessageOnce) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.screen.then([&h] {
    h.app.set_status(platform::Status::kFileSaved);
    fresh_frame(h)();
  });
  h.screen.then([&h] {
    EXPECT_EQ(h.text(23, 1, 26), "File saved.               ");
    EXPECT_EQ(h.cell(23, 1).foreground, colour(kGreen));
    EXPECT_EQ(h.app.status(), platform::Status::kNone);  // cleared after its present
    fresh_frame(h)();
  });
  h.screen.then([&h] { EXPECT_EQ(h.text(23, 1, 26), std::string(26, ' ')); });
  EXPECT_EQ(h.run(), 0);
}

// Benchmark mode: every present counts a frame and prints the rate since the window began.
TEST(Render, FrameRateLineInBenchmarkMode) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.key("e");
  h.screen.then([&h] { h.screen.set_seconds_per_key(0.5); });
  h.screen.key("b");  // Benchmark: start time = now, counter = 0
  // First present: 1 frame, no time passed yet, so no line.
  h.screen.then([&h] {
    EXPECT_EQ(h.app.frame.interaction_mode, 5);
    EXPECT_EQ(h.text(3, 3, 24), std::string(22, ' '));
  });
  // Second present: 2 frames in 0.5 s.
  h.screen.then([&h] {
    EXPECT_EQ(h.text(3, 1, 26), "  FPS (R-click to end)  4 ");
    EXPECT_EQ(h.cell(3, 3).foreground, colour(kGreen));
  });
  // Third: 3 frames in 1.0 s.
  h.screen.then([&h] { EXPECT_EQ(h.text(3, 1, 26), "  FPS (R-click to end)  3 "); });
  h.screen.key("x");  // any key ends it
  h.screen.then([&h] { EXPECT_EQ(h.app.frame.interaction_mode, 0); });
  EXPECT_EQ(h.run(), 0);
}

// While hidden nothing is drawn, a message issued meanwhile is lost, and keys still act.
TEST(Render, HiddenMenusDrawNothingAndLoseTheirMessage) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.screen.extended(platform::scan::kF11);
  h.screen.then([&h] {
    h.app.set_status(platform::Status::kFileLoaded);
    fresh_frame(h)();
  });
  h.screen.then([&h] {
    EXPECT_EQ(h.text(1), std::string(80, ' '));
    EXPECT_EQ(h.text(2), std::string(80, ' '));
    EXPECT_EQ(h.text(23), std::string(80, ' '));
  });
  press_alt(h.screen);
  h.screen.key("f");  // opens File on the invisible menu bar
  h.screen.then([&h] {
    EXPECT_TRUE(h.app.menus.panel_is_open(1));
    EXPECT_EQ(h.app.menus.state.active_panel, 1);
    EXPECT_EQ(h.app.menus.state.selected_entry, -1);  // no drawing, so no auto-select
  });
  h.screen.extended(platform::scan::kDown).extended(platform::scan::kDown);
  h.screen.then(fresh_frame(h));
  h.screen.extended(platform::scan::kF11);
  h.screen.then([&h] {
    EXPECT_EQ(h.text(5, 2, 17), " Open           ");
    EXPECT_EQ(h.cell(5, 2).background, colour(kLightGrey));  // Down, Down from none
    EXPECT_EQ(h.text(23, 1, 25), std::string(25, ' '));
  });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
