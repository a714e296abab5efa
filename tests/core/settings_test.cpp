#include "core/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

core::Settings parse(const std::string& text) {
  core::Settings s;
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  core::parse_settings(bytes, s);
  return s;
}

std::string lf_only(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

TEST(SettingsReader, FollowsTheFileFormat) {
  struct Case {
    const char* name;
    std::string text;
    core::Settings expected;
  };
  const core::Settings builtin;
  const std::vector<Case> cases = {
      {"default text", std::string(core::default_settings_text()), {19, 32, 4096, 4096}},
      {"default text with LF line ends skips the line after each key",
       lf_only(core::default_settings_text()),
       {19, 32, 4096, builtin.maxv}},
      {"key after an empty line is never read",
       "mode = 19\r\n\r\ncdep = 16\r\n",
       {19, 32, 4096, 4096}},
      {"LF before any digit runs on into the next line",
       "mode =\ncdep = 16\n",
       {16, 32, 4096, 4096}},
      {"CR before any digit gives 0", "mode = 19\r\ncdep =\r\nmaxh = 12\r\n", {19, 0, 12, 4096}},
      {"later key wins; only four bytes are the key",
       "mode = 17\r\nmodex 14\r\n",
       {14, 32, 4096, 4096}},
      {"value may end the file", "maxh = 4096", {18, 32, 4096, 4096}},
      {"anything before the first digit is ignored, no sign",
       "mode: -19\r\ncdep=16\r\nmaxh  =  =  100\r\n",
       {19, 16, 100, 4096}},
      {"letter case and leading blanks matter",
       "MODE = 19\r\n mode = 19\r\n",
       {18, 32, 4096, 4096}},
      {"modem sets the mode", "modem = 20\r\n", {20, 32, 4096, 4096}},
      {"digits end at the first other byte", "maxv = 12x34\r\n", {18, 32, 4096, 12}},
      {"a key ending at a zero byte", std::string("mo\0e = 5\r\n", 10), {18, 32, 4096, 4096}},
      {"huge values saturate instead of overflowing",
       "maxh = 99999999999999999999\r\nmaxv = 2147483648\r\n",
       {18, 32, 2147483647, 2147483647}},
      {"a lone short line swallows the next", "x\r\nmode = 13\r\n", {18, 32, 4096, 4096}},
      {"empty input leaves everything", "", {18, 32, 4096, 4096}},
  };
  for (const Case& c : cases) {
    const core::Settings s = parse(c.text);
    EXPECT_EQ(s.mode, c.expected.mode) << c.name;
    EXPECT_EQ(s.cdep, c.expected.cdep) << c.name;
    EXPECT_EQ(s.maxh, c.expected.maxh) << c.name;
    EXPECT_EQ(s.maxv, c.expected.maxv) << c.name;
  }
}

TEST(SettingsReader, DefaultTextIsTwentyTwoCrLfLines) {
  const std::string_view text = core::default_settings_text();
  EXPECT_EQ(text.size(), 498u);
  int lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lines;
      ASSERT_GT(i, 0u);
      EXPECT_EQ(text[i - 1], '\r');
    }
  }
  EXPECT_EQ(lines, 22);
  EXPECT_NE(text.find("''''    19 - 800x600    20 - 1024x768   21 - 1280x1024\r\n"), text.npos);
  EXPECT_EQ(text.substr(0, 32), "'''' settings file for VELDRAN\r\n");
}

TEST(SettingsFile, MissingFileIsWrittenAndBuiltInValuesStay) {
  support::TempDir dir;
  core::Settings s;
  std::string warning;
  core::read_or_create_settings("VELDRAN.INI", s, warning);
  EXPECT_EQ(dir.read("VELDRAN.INI"), core::default_settings_text());
  EXPECT_EQ(s.mode, 18);
  EXPECT_TRUE(warning.empty());
  core::read_or_create_settings("VELDRAN.INI", s, warning);
  EXPECT_EQ(s.mode, 19);
}

TEST(SettingsFile, EmptyFileIsFilledAndAFolderIsLeftAlone) {
  support::TempDir dir;
  dir.write("VELDRAN.INI", "");
  core::Settings s;
  std::string warning;
  core::read_or_create_settings("VELDRAN.INI", s, warning);
  EXPECT_EQ(dir.read("VELDRAN.INI").size(), 498u);

  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_directory(dir.path() / "sub" / "VELDRAN.INI");
  core::Settings t;
  core::read_or_create_settings("sub/VELDRAN.INI", t, warning);
  EXPECT_NE(warning.find("is a folder"), std::string::npos);
  EXPECT_EQ(t.mode, 18);
}

}  // namespace
