#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/keys.h"
#include "platform/scripted_screen.h"
#include "platform/utf8.h"

namespace {

TEST(NumberText, ShortestFormWithABlankBeforeNonNegatives) {
  struct Case {
    double value;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0.0, " 0"},
      {12.0, " 12"},
      {-5.0, "-5"},
      {0.1, " 0.1"},
      {1.0 / 3, " 0.3333333333333333"},
      {123456789012345678.0, " 1.234567890123457e+17"},
      {-0.25, "-0.25"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::format_number(c.value), c.text) << c.value;
}

// Each well-formed character is one code point; every byte of what is not UTF-8 is one
// U+FFFD, so a name in another encoding still draws one cell per byte.
TEST(Utf8, CharactersAndMalformedBytes) {
  struct Case {
    const char* what;
    std::string bytes;
    std::u32string characters;
  };
  const char32_t r = platform::kReplacement;
  const std::vector<Case> cases = {
      {"ASCII", "a.bmp", U"a.bmp"},
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       U"\u00e9\u20ac\U0001F600"},
      {"Latin-1 byte", "caf\xE9", {U'c', U'a', U'f', r}},
      {"stray continuation", "\x80x", {r, U'x'}},
      {"overlong slash", "\xC0\xAF", {r, r}},
      {"surrogate", "\xED\xA0\x80", {r, r, r}},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", {r, r, r, r}},
      {"cut short", "\xE2\x82", {r, r}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::u32string got;
    for (std::size_t at = 0; at < c.bytes.size();) got += platform::next_character(c.bytes, at);
    EXPECT_EQ(got, c.characters);
    EXPECT_EQ(platform::character_count(c.bytes), c.characters.size());
    EXPECT_EQ(platform::is_one_character(c.bytes), c.characters.size() == 1);
  }
  EXPECT_EQ(platform::first_characters("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
}

TEST(InputItem, FirstItemOfATypedLine) {
  struct Case {
    const char* line;
    const char* item;
  };
  const std::vector<Case> cases = {
      {"a,b.bmp", "a"},
      {"\"a,b.bmp\"", "a,b.bmp"},
      {"   name.bmp", "name.bmp"},
      {"\t x.jpg", "x.jpg"},
      {"", ""},
      {"   ,x", ""},
      {"\"unterminated, quote", "unterminated, quote"},
      {"\"q\"tail,more", "q"},
      {"with blank.bmp", "with blank.bmp"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::first_input_item(c.line), c.item) << c.line;
}

// Opens a scripted screen of 64 x 32 at a depth.
platform::ScriptedScreen& opened(platform::ScriptedScreen& s, int depth, int rows = 2) {
  std::string error;
  EXPECT_TRUE(s.open(64, 32, depth, error)) << error;
  s.set_text_grid(8, rows);
  return s;
}

TEST(ScreenText, CellsAreOpaqueInTheScreensDepth) {
  struct Case {
    int depth;
    std::uint32_t fg, bg;              // as handed to the screen
    std::uint32_t shown_fg, shown_bg;  // as the window shows them
  };
  const std::vector<Case> cases = {
      {32, 0x80C080, 0x000040, 0x80C080, 0x000040},
      {16, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000},
      {15, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF},
      {8, 0xB2, 0x51, 0xAACCAA, 0x554455},
  };
  for (const Case& c : cases) {
    platform::ScriptedScreen s;
    opened(s, c.depth);
    if (c.depth == 8) {
      for (int i = 0; i < 256; ++i)
        s.set_palette_entry(i, (i / 64) * 85, ((i / 4) % 16) * 17, (i % 4) * 85);
    }
    s.set_colours(c.fg, c.bg);
    s.locate(2, 3);
    s.print("I");
    // Cell (row 2, column 3) spans x 16..23 and y 16..31 (rows of 16 pixels).
    int fg = 0, bg = 0, other = 0;
    for (int y = 16; y < 32; ++y) {
      for (int x = 16; x < 24; ++x) {
        const std::uint32_t p = s.displayed_rgb(x, y);
        if (p == c.shown_fg)
          ++fg;
        else if (p == c.shown_bg)
          ++bg;
        else
          ++other;
      }
    }
    EXPECT_GT(fg, 8) << c.depth;
    EXPECT_GT(bg, 64) << c.depth;
    EXPECT_EQ(other, 0) << c.depth;
    EXPECT_EQ(s.displayed_rgb(15, 20), 0u) << c.depth;  // the cell to the left is untouched
    EXPECT_EQ(s.displayed_rgb(16, 15), 0u) << c.depth;  // and the row above
  }
}

TEST(ScreenText, PrintingMovesTheCursorAndClipsAtTheGrid) {
  platform::ScriptedScreen s;
  opened(s, 32, 4);  // 8 columns of 8 x 8 cells
  s.set_colours(0xFFFFFF, 0x000000);
  s.locate(1, 7);
  s.print("ABCD", true);  // C and D fall off the grid
  s.print("E");           // the next row, column 1
  auto lit = [&](int x0, int y0) {
    int n = 0;
    for (int y = y0; y < y0 + 8; ++y)
      for (int x = x0; x < x0 + 8; ++x) n += s.displayed_rgb(x, y) != 0;
    return n;
  };
  EXPECT_GT(lit(48, 0), 0);
  EXPECT_GT(lit(56, 0), 0);
  EXPECT_GT(lit(0, 8), 0);
  EXPECT_EQ(lit(8, 8), 0);
  EXPECT_EQ(s.shows(), 2);  // each print outside a lock is shown at once
  s.lock();
  s.print("F");
  EXPECT_EQ(s.shows(), 2);
  s.unlock();
  EXPECT_EQ(s.shows(), 3);
}

TEST(ScreenLines, OnePixelLinesAreClippedToTheScreen) {
  platform::ScriptedScreen s;
  opened(s, 32);
  s.line(3, -5, 3, 40, 0xC0C0C0);
  for (int y = 0; y < 32; ++y) EXPECT_EQ(s.displayed_rgb(3, y), 0xC0C0C0u) << y;
  EXPECT_EQ(s.displayed_rgb(2, 10), 0u);
  EXPECT_EQ(s.displayed_rgb(4, 10), 0u);
}

TEST(LineInput, EchoesEditsAndReturnsTheFirstItem) {
  struct Case {
    std::vector<std::string> keys;
    std::string answer;
  };
  const std::string bs(1, platform::kBackspace), esc(1, platform::kEscape),
      enter(1, platform::kEnter);
  const std::vector<Case> cases = {
      {{"a", "b", bs, "c", enter}, "ac"},
      {{"x", "y", esc, "z", enter}, "z"},
      {{" ", " ", "n", ",", "m", enter}, "n"},
      {{platform::extended_key(platform::scan::kF2), "q", enter}, "q"},
      {{enter}, ""},
  };
  for (const Case& c : cases) {
    platform::ScriptedScreen s;
    opened(s, 32, 4);
    s.set_text_grid(8, 4);
    for (const std::string& k : c.keys) s.key(k);
    s.locate(1, 1);
    EXPECT_EQ(s.read_line(), c.answer);
  }
}

TEST(LineInput, ACloseRequestCancelsAndStaysPending) {
  platform::ScriptedScreen s;
  opened(s, 32, 4);
  s.keys("ab").extended(platform::scan::kClose);
  EXPECT_EQ(s.read_line(), "");
  EXPECT_TRUE(platform::is_extended(s.read_key(), platform::scan::kClose));
}

}  // namespace
