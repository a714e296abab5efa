#include "core/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/harness.h"

namespace {

using support::Harness;
using support::settings_text;

TEST(StartUp, DisplayModesGiveTheirSizesGridsAndRowHeights) {
  struct Case {
    int mode, width, height, columns, rows, row_height;
  };
  const std::vector<Case> cases = {
      {13, 320, 200, 40, 25, 8},
      {14, 320, 240, 40, 30, 8},
      {15, 400, 300, 50, 37, 8},
      {16, 512, 384, 64, 24, 16},
      {17, 640, 400, 80, 25, 16},
      {18, 640, 480, 80, 30, 16},
      {19, 800, 600, 100, 37, 16},
      {20, 1024, 768, 128, 48, 16},
      {21, 1280, 1024, 160, 64, 16},
      {11520864, 1152, 864, 144, 54, 16},
      {6400400, 640, 400, 80, 50, 8},
      {3200201, 320, 201, 40, 25, 8},  // 201 / 25 rows: 8-pixel rows with one spare line
      {2720184, 272, 184, 34, 23, 8},  // the smallest grid every panel fits in
      {3190199, 319, 199, 39, 24, 8},
  };
  for (const Case& c : cases) {
    Harness h(settings_text(c.mode, 32, 64, 64));
    ASSERT_TRUE(h.start()) << h.error;
    const core::ScreenRecord& r = h.app.screen_record;
    EXPECT_EQ(r.width, c.width) << c.mode;
    EXPECT_EQ(r.height, c.height) << c.mode;
    EXPECT_EQ(r.text_columns, c.columns) << c.mode;
    EXPECT_EQ(r.text_rows, c.rows) << c.mode;
    EXPECT_EQ(r.row_height, c.row_height) << c.mode;
    EXPECT_EQ(r.last_x, c.width - 1);
    EXPECT_EQ(r.last_y, c.height - 1);
    EXPECT_EQ(h.app.back_buffer.size(), static_cast<std::size_t>(c.width) * c.height);
    EXPECT_TRUE(h.warnings.empty()) << c.mode;
  }
}

TEST(StartUp, UnsupportedModesAndDepthsFallBackWithAWarning) {
  struct Case {
    int mode, depth;
    int width, depth_obtained;
  };
  const std::vector<Case> cases = {
      {12, 32, 640, 32}, {22, 32, 640, 32}, {2710184, 32, 640, 32}, {2720183, 32, 640, 32},
      {18, 24, 640, 32}, {18, 0, 640, 32},  {19, 7, 800, 32},       {99990100, 16, 640, 16},
  };
  for (const Case& c : cases) {
    Harness h(settings_text(c.mode, c.depth, 64, 64));
    ASSERT_TRUE(h.start()) << h.error;
    EXPECT_EQ(h.app.screen_record.width, c.width) << c.mode << " " << c.depth;
    EXPECT_EQ(h.app.screen_record.depth, c.depth_obtained) << c.mode << " " << c.depth;
    ASSERT_EQ(h.warnings.size(), 1u) << c.mode << " " << c.depth;
    EXPECT_NE(h.warnings[0].find("VELDRAN.INI"), std::string::npos);
  }
}

TEST(StartUp, ImageStoreFollowsTheSettingsAndRefusesEmptySizes) {
  Harness h(settings_text(18, 32, 100, 50));
  ASSERT_TRUE(h.start());
  EXPECT_EQ(h.app.store.maxh, 100);
  EXPECT_EQ(h.app.store.maxv, 50);
  EXPECT_EQ(h.app.store.working().stride, 100);

  for (const auto& [maxh, maxv] : std::vector<std::pair<int, int>>{{0, 10}, {10, 0}}) {
    Harness bad(settings_text(18, 32, maxh, maxv));
    EXPECT_FALSE(bad.start());
    EXPECT_NE(bad.error.find("maxh"), std::string::npos) << bad.error;
  }
}

TEST(StartUp, EightBitScreensGetTheInterfacePalette) {
  Harness h(settings_text(18, 8, 64, 64));
  ASSERT_TRUE(h.start());
  EXPECT_EQ(h.screen.palette_entry(0), 0x000000u);
  EXPECT_EQ(h.screen.palette_entry(255), 0xFFFFFFu);
  EXPECT_EQ(h.screen.palette_entry(0x1C), 0x007700u);
  EXPECT_EQ(h.screen.palette_entry(0xA2), 0xAA88AAu);
  EXPECT_EQ(h.app.interface_colours[1], 0x51u);
  EXPECT_EQ(h.app.interface_colours[5], 0xB2u);
  EXPECT_EQ(h.app.interface_colours[0], 0u);

  Harness rgb(settings_text(18, 16, 64, 64));
  ASSERT_TRUE(rgb.start());
  EXPECT_EQ(rgb.app.interface_colours[5], 0x80C080u);  // other depths keep 0x00RRGGBB
}

TEST(StartUp, ArgumentsAreJoinedWithSingleBlanks) {
  EXPECT_EQ(core::join_arguments({"a", "b.bmp"}), "a b.bmp");
  EXPECT_EQ(core::join_arguments({}), "");
  EXPECT_EQ(core::join_arguments({"one"}), "one");
  EXPECT_EQ(core::join_arguments({"x", "", "y"}), "x  y");
}

TEST(StartUp, FirstRunWritesTheSettingsFileAndTheSecondReadsIt) {
  Harness first("");
  ASSERT_TRUE(first.start());
  EXPECT_EQ(first.dir.read("VELDRAN.INI").size(), 498u);
  EXPECT_EQ(first.app.screen_record.width, 640);
  EXPECT_EQ(first.app.screen_record.depth, 32);
  EXPECT_EQ(first.app.screen_record.text_columns, 80);
  EXPECT_EQ(first.app.screen_record.text_rows, 30);

  // A second App in the same folder reads mode 19.
  platform::ScriptedScreen screen;
  core::App second(screen);
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(core::start_up(second, "VELDRAN.INI", "", error, warnings)) << error;
  EXPECT_EQ(second.screen_record.width, 800);
  EXPECT_EQ(second.screen_record.height, 600);
}

TEST(StartUp, NoArgumentsStartWithNoPicture) {
  Harness h;
  ASSERT_TRUE(h.start());
  EXPECT_EQ(h.app.current_name, "default.bmp");
  EXPECT_FALSE(h.app.store.has_picture());
  EXPECT_EQ(h.app.frame.reprocess_request, 1);
  EXPECT_EQ(h.app.menus.option_flags, 0x200u);
}

}  // namespace
