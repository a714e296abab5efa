// veldran-convert and the window's saves write the same bytes for the same settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/crop_tool.h"
#include "core/menu_table.h"
#include "core/operations.h"
#include "support/harness.h"

namespace {

using support::Harness;

std::string convert_program() {
  const char* dir = std::getenv("VELDRAN_BIN_DIR");
  return std::string(dir != nullptr ? dir : ".") + "/veldran-convert";
}

// Runs the converter in the current folder; returns its exit status.
int run_convert(const std::string& arguments) {
  const std::string command = convert_program() + " " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first byte at which two files differ, or npos.
std::size_t first_difference(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return a.size() == b.size() ? std::string::npos : n;
}

struct Case {
  const char* name;
  const char* arguments;  // after IN OUT
  int exit_status;
  int depth;
  std::function<void(core::App&)> settings;  // the same, through the App's state
};

void set_levels(core::App& app, int r, int g, int b) {
  app.menus.integer(core::slot::kRedLevels) = r;
  app.menus.integer(core::slot::kGreenLevels) = g;
  app.menus.integer(core::slot::kBlueLevels) = b;
  app.menus.toggle_option(core::option::kAdjustDepth);
}

void resize(core::App& app, int w, int h) {
  app.menus.integer(core::slot::kNewX) = w;
  app.menus.integer(core::slot::kNewY) = h;
  core::resize_picture(app);
}

TEST(ConvertMatchesWindow, SameSettingsGiveTheSameFile) {
  using namespace core;
  const std::vector<Case> cases = {
      {"flips and resize", "--flip-x --flip-y --resize 100,80", 0, 24,
       [](core::App& a) {
         core::flip_x(a);
         core::flip_y(a);
         resize(a, 100, 80);
       }},
      {"adjustment at 16 bits", "--contrast 40 --brightness -10 --red-add 5 --depth 16", 0, 16,
       [](core::App& a) {
         a.menus.integer(slot::kContrast) = 40;
         a.menus.integer(slot::kBrightness) = -10;
         a.menus.integer(slot::kRedAdd) = 5;
         a.menus.toggle_option(option::kAdjustColor);
       }},
      {"levels with error diffusion", "--levels 4,6,3 --dither fs", 0, 24,
       [](core::App& a) {
         set_levels(a, 4, 6, 3);
         a.menus.toggle_option(option::kDithering);
         a.menus.toggle_option(option::kFloydSteinberg);
       }},
      {"grey ordered", "--greyscale --levels 8,8,8 --dither ordered", 0, 24,
       [](core::App& a) {
         set_levels(a, 8, 8, 8);
         a.menus.toggle_option(option::kGreyscale);
         a.menus.toggle_option(option::kDithering);
       }},
      {"intensity bit", "--intensity --levels 2,2,2", 0, 24,
       [](core::App& a) {
         set_levels(a, 2, 2, 2);
         a.menus.toggle_option(option::kIntensityBit);
       }},
      {"every stage at 8 bits",
       "--resize 64,48 --levels 32,32,32 --dither fs --palette 16 --depth 8 --contrast 10", 0, 8,
       [](core::App& a) {
         resize(a, 64, 48);
         set_levels(a, 32, 32, 32);
         a.menus.toggle_option(option::kDithering);
         a.menus.toggle_option(option::kFloydSteinberg);
         a.menus.integer(slot::kPalSize) = 16;
         a.menus.toggle_option(option::kUsePalette);
         a.menus.integer(slot::kContrast) = 10;
         a.menus.toggle_option(option::kAdjustColor);
       }},
      {"rotations and a crop", "--rotate 30 --crop 10,5,100,80 --rotate -90 --flip-y", 0, 24,
       [](core::App& a) {
         a.menus.real(core::slot::kAngle) = 30;
         core::rotate_picture(a);
         a.crop = {true, false, 109, 84, 10, 5};
         core::crop_key(a, "\r");
         a.menus.real(core::slot::kAngle) = -90;
         core::rotate_picture(a);
         core::flip_y(a);
       }},
      {"palettes per zone at 8 bits", "--palette 16 --palettes 4 --zone 8,6 --depth 8", 0, 8,
       [](core::App& a) {
         a.menus.integer(slot::kPalSize) = 16;
         a.menus.integer(slot::kPalettes) = 4;
         a.menus.integer(slot::kZoneWidth) = 8;
         a.menus.integer(slot::kZoneHeight) = 6;
         a.menus.toggle_option(option::kUsePalette);
         a.menus.toggle_option(option::kMultipalette);
       }},
      {"a refused resize goes on", "--resize 9999,10 --flip-x", 1, 24,
       [](core::App& a) {
         resize(a, 9999, 10);
         core::flip_x(a);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(support::settings_text(18, 32, 512, 512));
    h.dir.write("in.jpg", support::TempDir::read_file(std::string(VELDRAN_SOURCE_DIR) +
                                                      "/samples/card_420.jpg"));
    ASSERT_TRUE(h.start("in.jpg"));
    EXPECT_EQ(run_convert("in.jpg cli.bmp --max 512,512 " + std::string(c.arguments)),
              c.exit_status);
    h.screen.then([&] {
      c.settings(h.app);
      h.app.frame.reprocess_request = 1;  // as every check box and value edit does
    });
    h.screen.idle().then([&] {
      h.app.current_name = "window.bmp";
      core::save_picture(h.app, c.depth);
    });
    EXPECT_EQ(h.run(), 0);
    const std::string window = h.dir.read("window.bmp");
    const std::string cli = h.dir.read("cli.bmp");
    ASSERT_GT(window.size(), 54u);
    EXPECT_EQ(cli.size(), window.size());
    EXPECT_EQ(first_difference(cli, window), std::string::npos);
  }
}

}  // namespace
