// Number entry through the keyboard and mouse: what each typed sequence stores, Esc, the
// seventh character, the left button, and Tab moving on across drop-downs.
#include <gtest/gtest.h>

#include "menu_script.h"

namespace {

using menu_test::click;
using menu_test::colour;
using menu_test::press_alt;
using support::Harness;

struct Typed {
  const char* keys;
  std::int32_t stored;
};

// Keys in typing order after the "Contrast" hotkey; \r is Enter. After several points the
// last one counts ("1.2.3" is 12.3).
constexpr Typed kContrast[] = {
    {"12\r", 12},         {"-3\r", -3},         {"3-\r", -3},        {"1.5\r", 2},
    {"2.5\r", 2},         {"7.5\r", 8},         {"-2.5\r", -2},      {"\r", 0},
    {"a4b!2\r", 42},      {"1234567", 1234567}, {"12345.67", 12346}, {"1.25\r", 1},
    {"9999999", 9999999}, {"-999999", -999999}, {"1.2.3\r", 12},
};

TEST(NumberEntry, IntegerSlotSequences) {
  for (const Typed& t : kContrast) {
    SCOPED_TRACE(t.keys);
    Harness h;
    ASSERT_TRUE(h.start());
    press_alt(h.screen);
    h.screen.keys("cc");  // Colors, then Contrast
    h.screen.keys(t.keys);
    h.screen.then([&h, &t] {
      EXPECT_EQ(h.app.menus.integer(core::slot::kContrast), t.stored);
      EXPECT_EQ(h.app.menus.integer(core::slot::kBrightness), 0);
      // The menus keep the focus on Colors after the entry.
      EXPECT_EQ(h.app.menus.state.active_panel, 4);
    });
    EXPECT_EQ(h.run(), 0);
  }
}

struct TypedReal {
  const char* keys;
  float stored;
};

// "Angle" of Rotate image is a real slot: fractions are kept.
const TypedReal kAngle[] = {
    {"1.5-\r", -(15.0f / 10.0f / 10.0f)},  // the minus after the point is a decimal place
    {"1.5\r", 1.5f},
    {"-.5\r", -0.5f},
    {".25\r", 0.25f},
    {"3-\r", -3.0f},
};

TEST(NumberEntry, RealSlotSequences) {
  for (const TypedReal& t : kAngle) {
    SCOPED_TRACE(t.keys);
    Harness h;
    ASSERT_TRUE(h.start());
    press_alt(h.screen);
    h.screen.keys("era");  // Edit, Rotate image, Angle
    h.screen.keys(t.keys);
    h.screen.then([&h, &t] { EXPECT_EQ(h.app.menus.real(core::slot::kAngle), t.stored); });
    EXPECT_EQ(h.run(), 0);
  }
}

// The field while typing: "_" and six blanks, then each character at its own cell.
TEST(NumberEntry, FieldEchoesTheTyping) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("cc");
  h.screen.then([&h] {
    EXPECT_EQ(h.text(6, 11, 17), "_      ");
    EXPECT_EQ(h.cell(6, 11).foreground, colour(3));
    EXPECT_EQ(h.cell(6, 11).background, colour(4));
  });
  h.screen.keys("-1x.");
  h.screen.then([&h] { EXPECT_EQ(h.text(6, 11, 17), "-1.    "); });
  h.screen.keys("5\r");
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.integer(core::slot::kContrast), -2);  // -1.5, halves to even
    EXPECT_EQ(h.text(6, 11, 17), "     -2");                    // redrawn from the slot
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(NumberEntry, EscapeKeepsTheOldValue) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("cc77\r");
  h.screen.keys("c5\x1b");
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.integer(core::slot::kContrast), 77);
    EXPECT_EQ(h.text(6, 11, 17), "     77");
  });
  EXPECT_EQ(h.run(), 0);
}

// A left press ends the entry like Enter; the press that started it by a click does not.
TEST(NumberEntry, LeftButtonFinishes) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.key("c");
  click(h, 7, 4);  // "brigHt"
  h.screen.keys("45");
  h.screen.mouse(300, 300, 1).mouse(300, 300, 0);
  h.screen.key("6");  // back in the menus: not a hotkey of Colors
  h.screen.then([&h] { EXPECT_EQ(h.app.menus.integer(core::slot::kBrightness), 45); });
  EXPECT_EQ(h.run(), 0);
}

// Tab moves on to the next edited value in list order, across drop-downs; the screen is
// not redrawn in between, so the typed value stays as typed.
TEST(NumberEntry, TabChainsAcrossDropDowns) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("cs");  // Colors, then color Space after it in the list
  click(h, 6, 4);       // "Contrast", while color Space has the focus
  h.screen.keys("1\t");
  h.screen.then([&h] {
    EXPECT_EQ(h.text(6, 11, 17), "1      ");
    EXPECT_EQ(h.text(7, 11, 17), "_      ");
  });
  h.screen.keys("2\t3\t4\t5\t");
  h.screen.then([&h] {
    EXPECT_EQ(h.text(8, 28, 34), "_      ");  // "Red" of color Space
    EXPECT_EQ(h.app.menus.integer(core::slot::kBlueAdd), 5);
  });
  h.screen.keys("6\t7\r");
  h.screen.then([&h] {
    const core::Menus& m = h.app.menus;
    const int expected[] = {1, 2, 3, 4, 5, 6, 7, 256};
    const int slots[] = {6, 7, 8, 9, 10, 11, 12, 13};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m.integer(slots[i]), expected[i]) << slots[i];
    EXPECT_EQ(h.text(9, 28, 34), "      7");
  });
  // Tab after the last edited value of the list ends the entry.
  click(h, 10, 20);  // "Blue"
  h.screen.keys("8\t");
  h.screen.key("j");  // a hotkey again: adJust depth in color Space
  h.screen.then([&h] {
    EXPECT_EQ(h.app.menus.integer(core::slot::kBlueLevels), 8);
    EXPECT_TRUE(h.app.menus.option(core::option::kAdjustDepth));
  });
  EXPECT_EQ(h.run(), 0);
}

// Closing the window while a value is typed ends the program; nothing is stored.
TEST(NumberEntry, CloseRequestEndsTheProgram) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("cc12");
  h.screen.extended(platform::scan::kClose);
  bool reached = false;
  h.screen.then([&reached] { reached = true; });
  EXPECT_EQ(h.run(), 0);
  EXPECT_FALSE(reached);
  EXPECT_EQ(h.app.menus.integer(core::slot::kContrast), 0);
}

}  // namespace
