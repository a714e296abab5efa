// Activation by kind and command, as the menus show it afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "menu_script.h"

namespace {

using menu_test::click;
using menu_test::press_alt;
using menu_test::selected_label;
using support::Harness;
namespace scan = platform::scan;

struct ActivationCase {
  const char* name;
  std::function<void(Harness&)> script;
  int active_panel;
  const char* selected;
  std::uint32_t option_flags;
  const char* status;  // the status line's first 25 characters at the next present
};

void down(Harness& h, int times) {
  for (int i = 0; i < times; ++i) h.screen.extended(scan::kDown);
}

const std::string kNoMessage(25, ' ');

TEST(Dispatch, ActivationByKind) {
  const ActivationCase cases[] = {
      {"a label line does nothing",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.key("f");
         down(h, 7);
         h.screen.key("\r");
       },
       1, "current image", 0x200, ""},
      {"a shown value does nothing",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.key("f");
         down(h, 9);
         h.screen.key("\r");
       },
       1, "height", 0x200, ""},
      {"a check box toggled twice",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.keys("csyy");
       },
       7, "---- close -----", 0x200, ""},
      {"check boxes flip their own bits",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.keys("csidf");
       },
       7, "---- close -----", 0x200 | 1u << 10 | 1u << 4 | 1u << 5, ""},
      {"confirm in Rotate image does nothing",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.keys("er.");
       },
       5, "---- close -----", 0x200, ""},
      {"a click on Save keeps the menus inactive",
       [](Harness& h) {
         click(h, 2, 4);
         click(h, 6, 4);
       },
       -1, "", 0x200, "File saved."},
      {"a click on a check box of an unfocused drop-down",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.keys("cs");
         click(h, 5, 4);  // "[_] adJust color" of Colors
       },
       7, "---- close -----", 0x200 | 1u << 3, ""},
      {"8-bit save without a palette",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.keys("fp");
       },
       1, "---- close -----", 0x200, "Error: not palettized"},
      {"the focused drop-down's close entry clicked",
       [](Harness& h) {
         press_alt(h.screen);
         h.screen.keys("cs");
         click(h, 4, 20);  // color Space's close entry, while it has the focus
       },
       -1, "", 0x200, ""},
  };
  for (const ActivationCase& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    ASSERT_TRUE(h.start());
    c.script(h);
    h.screen.then([&h, &c] {
      EXPECT_EQ(h.app.menus.state.active_panel, c.active_panel);
      EXPECT_EQ(selected_label(h.app), c.selected);
      EXPECT_EQ(h.app.menus.option_flags, c.option_flags);
      std::string status = c.status;
      status.resize(25, ' ');
      EXPECT_EQ(h.text(23, 1, 25), status);
    });
    EXPECT_EQ(h.run(), 0);
  }
}

// The benchmark command starts the mode from the timer; a right press ends it.
TEST(Dispatch, BenchmarkStartsFromTheTimerAndEndsOnRightPress) {
  Harness h;
  ASSERT_TRUE(h.start());
  press_alt(h.screen);
  h.screen.keys("e");
  double before = 0.0;
  h.screen.then([&h, &before] {
    h.app.frame.frame_counter = 99.0;
    h.app.frame.benchmark_start = -1.0;
    before = h.screen.timer();
  });
  h.screen.key("b");
  h.screen.then([&h, &before] {
    EXPECT_EQ(h.app.frame.interaction_mode, 5);
    EXPECT_GE(h.app.frame.benchmark_start, before);
    EXPECT_LE(h.app.frame.benchmark_start, h.screen.timer());
    EXPECT_EQ(h.app.frame.frame_counter, 1.0);  // counted by the one present since
  });
  h.screen.mouse(10, 10, 2).mouse(10, 10, 0).idle();
  h.screen.then([&h] { EXPECT_EQ(h.app.frame.interaction_mode, 0); });
  EXPECT_EQ(h.run(), 0);
}

struct SaveCase {
  const char* keys;  // in File
  bool use_palette;
  const char* file;
  int bits_per_pixel;
};

// Save writes the current name at 24 bits without asking; the save-as commands ask and
// write 24, 16 (for the menu's 15) or 8 bits. With no picture only the headers are written.
TEST(Dispatch, SaveCommandsWriteTheirDepths) {
  constexpr SaveCase kSaves[] = {
      {"s", false, "default.bmp", 24},
      {"bcopy.bmp\r", false, "copy.bmp", 24},
      {"mfifteen.bmp\r", false, "fifteen.bmp", 16},
      {"peight.bmp\r", true, "eight.bmp", 8},
  };
  for (const SaveCase& c : kSaves) {
    SCOPED_TRACE(c.keys);
    Harness h;
    ASSERT_TRUE(h.start());
    if (c.use_palette) h.app.menus.toggle_option(menu::option::kUsePalette);
    press_alt(h.screen);
    h.screen.key("f");
    h.screen.keys(c.keys);
    h.screen.then([&h] { EXPECT_EQ(h.text(23, 1, 12), "File saved. "); });
    EXPECT_EQ(h.run(), 0);
    const std::string bytes = h.dir.read(c.file);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<int>(bytes[28]), c.bits_per_pixel);
    EXPECT_EQ(bytes.size(), c.bits_per_pixel == 8 ? 54u + 1024u : 54u);
  }
}

}  // namespace
