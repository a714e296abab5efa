// The filename prompt reached from the File menu: the framed box, the answer's first item,
// "Canceled." on an empty answer, and the save prompt's new current name.
#include <gtest/gtest.h>

#include <filesystem>

#include "menu_script.h"
#include "support/pictures.h"

namespace {

using menu_test::colour;
using menu_test::press_alt;
using support::Harness;
using support::settings_text;

// The box spans columns 6 to 33 and rows 6 to 10, so it fits the narrowest grid too.
TEST(Prompt, FramedBoxOnEveryGrid) {
  for (const int mode : {18, 13}) {
    SCOPED_TRACE(mode);
    Harness h(settings_text(mode, 32, 64, 64));
    ASSERT_TRUE(h.start());
    press_alt(h.screen);
    h.screen.keys("fo");
    h.screen.then([&h] {
      EXPECT_EQ(h.text(7, 7, 32), "  OPEN  - enter filename  ");
      EXPECT_EQ(h.cell(7, 9).foreground, colour(0));
      EXPECT_EQ(h.cell(7, 9).background, colour(2));
      for (int col = 6; col <= 33; ++col) {
        EXPECT_EQ(h.cell(6, col).background, colour(1)) << col;
        EXPECT_EQ(h.cell(10, col).background, colour(1)) << col;
      }
      for (int row = 7; row <= 9; ++row) {
        EXPECT_EQ(h.cell(row, 6).background, colour(1)) << row;
        EXPECT_EQ(h.cell(row, 33).background, colour(1)) << row;
      }
      for (const int col : {7, 32}) {
        EXPECT_EQ(h.cell(8, col).background, colour(2)) << col;
        EXPECT_EQ(h.cell(9, col).background, colour(2)) << col;
      }
      EXPECT_EQ(h.text(9, 7, 32), std::string(26, ' '));
      // The input field, with the line reader's "? " at its start.
      EXPECT_EQ(h.text(8, 8, 31), "?" + std::string(23, ' '));
      EXPECT_EQ(h.cell(8, 8).foreground, colour(3));
      for (int col = 8; col <= 31; ++col) {
        EXPECT_EQ(h.cell(8, col).background, colour(4)) << col;
      }
    });
    h.screen.keys("pic");
    h.screen.then([&h] { EXPECT_EQ(h.text(8, 8, 14), "? pic  "); });
    h.screen.key("\r");
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(h.app.requested_name, "pic");
  }
}

struct Answer {
  const char* typed;
  const char* requested;
};

constexpr Answer kAnswers[] = {
    {"", ""},
    {"a,b.bmp", "a"},
    {"\"a,b.bmp\"", "a,b.bmp"},
    {"   pic.bmp", "pic.bmp"},
    {" \t x y.bmp", "x y.bmp"},
    {"   ,b.bmp", ""},
};

// Open: the answer's first item becomes the requested name; an empty one cancels.
TEST(Prompt, OpenTakesTheFirstItemOfTheAnswer) {
  for (const Answer& a : kAnswers) {
    SCOPED_TRACE(a.typed);
    Harness h;
    ASSERT_TRUE(h.start());
    press_alt(h.screen);
    h.screen.keys("fo");
    h.screen.keys(a.typed);
    h.screen.key("\r");
    const bool cancel = std::string(a.requested).empty();
    h.screen.then([&h, &a, cancel] {
      EXPECT_EQ(h.app.requested_name, a.requested);
      EXPECT_EQ(h.app.current_name, "default.bmp");
      EXPECT_EQ(h.text(23, 1, 10) == "Canceled. ", cancel) << h.text(23, 1, 25);
    });
    EXPECT_EQ(h.run(), 0);
  }
}

// Save as: the answer becomes the current name before the save; empty cancels.
TEST(Prompt, SaveAsMakesTheAnswerTheCurrentName) {
  for (const char* name : {"copy.bmp", ""}) {
    SCOPED_TRACE(name);
    Harness h;
    ASSERT_TRUE(h.start());
    press_alt(h.screen);
    h.screen.keys("fb");
    h.screen.then([&h] { EXPECT_EQ(h.text(7, 7, 32), "  SAVE  - enter filename  "); });
    h.screen.keys(name);
    h.screen.key("\r");
    const std::string expected = *name ? name : "default.bmp";
    h.screen.then([&h, expected, name] {
      EXPECT_EQ(h.app.current_name, expected);
      EXPECT_EQ(h.text(1, 3, 16 + static_cast<int>(expected.size())), "current file: " + expected);
      if (!*name) {
        EXPECT_EQ(h.text(23, 1, 25), "Canceled.                ");
      }
      // The menus keep the focus on File.
      EXPECT_EQ(h.app.menus.state.active_panel, 1);
    });
    EXPECT_EQ(h.run(), 0);
  }
}

// The 8-bit save is refused without a palette, before any prompt; with one it asks.
TEST(Prompt, EightBitSaveNeedsThePalette) {
  for (const bool palette : {false, true}) {
    SCOPED_TRACE(palette);
    Harness h;
    ASSERT_TRUE(h.start());
    if (palette) h.app.menus.toggle_option(core::option::kUsePalette);
    press_alt(h.screen);
    h.screen.keys("fp");
    bool prompted = false;
    h.screen.then([&h, &prompted, palette] {
      prompted = h.find("SAVE  - enter").first == 7;
      EXPECT_EQ(h.text(23, 1, 25) == "Error: not palettized    ", !palette);
    });
    if (palette) h.screen.keys("eight.bmp\r");
    h.screen.then(
        [&h, palette] { EXPECT_EQ(h.app.current_name, palette ? "eight.bmp" : "default.bmp"); });
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(prompted, palette);
  }
}

// Names are UTF-8 from the keys to the file: typed "café.bmp" opens the file of that name,
// the field has one cell per character (a character the font lacks shows as '?'),
// Backspace takes back a whole character, and the name shows on the menu line and in the
// title; Save as writes the name as typed.
TEST(Prompt, NamesAreUtf8FromTheKeysToTheFile) {
  Harness h;
  h.dir.write("caf\u00e9.bmp", support::bmp24(3, 2, 0x00FF00));
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("fo");
  for (const char* k : {"c", "a", "f", "\u00e9", "\u20ac", "\u6f22"}) h.screen.key(k);
  h.screen.then([&h] {
    EXPECT_EQ(h.text(8, 8, 13), "? caf\xE9");
    const support::Cell euro = h.cell(8, 14), missing = h.cell(8, 15);
    EXPECT_FALSE(euro.decoded && (euro.ch == '?' || euro.ch == ' ')) << "the font's euro sign";
    EXPECT_TRUE(missing.decoded && missing.ch == '?');
    EXPECT_EQ(h.text(8, 16, 16), " ");
  });
  h.screen.key("\b").key("\b").then([&h] { EXPECT_EQ(h.text(8, 8, 16), "? caf\xE9   "); });
  h.screen.keys(".bmp\r").idle().then([&h] {
    EXPECT_EQ(h.app.current_name, "caf\u00e9.bmp");
    EXPECT_EQ(h.screen.title(), "caf\u00e9.bmp");
    EXPECT_EQ(h.text(1, 3, 24), "current file: caf\xE9.bmp");
  });
  press_alt(h.screen);
  h.screen.keys("fb").key("n").key("\u00e9").keys(".bmp\r");
  EXPECT_EQ(h.run(), 0);
  EXPECT_TRUE(std::filesystem::exists(h.dir.path() / "n\u00e9.bmp"));

  // The menu line shows the first 24 characters of a long name, not its first 24 bytes.
  Harness g;
  ASSERT_TRUE(g.start());
  std::string long_name;
  for (int i = 0; i < 30; ++i) long_name += "\u00e9";
  g.app.current_name = long_name;
  g.screen.idle();
  EXPECT_EQ(g.run(), 0);
  EXPECT_EQ(g.text(1, 17, 41), std::string(24, '\xE9') + " ");
}

// Closing the window while the prompt waits cancels it and ends the program.
TEST(Prompt, CloseRequestCancelsAndEnds) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("fbname");
  h.screen.extended(platform::scan::kClose);
  bool reached = false;
  h.screen.then([&reached] { reached = true; });
  EXPECT_EQ(h.run(), 0);
  EXPECT_FALSE(reached);
  EXPECT_EQ(h.app.current_name, "default.bmp");
}

}  // namespace
