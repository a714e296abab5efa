// Activation by kind and command, as the menus show it afterwards.
#include <gtest/gtest.h>

#include "menu_script.h"
#include "support/pictures.h"

namespace {

using menu_test::play;
using menu_test::press_alt;
using menu_test::selected_label;
using support::Harness;
namespace scan = platform::scan;

struct ActivationCase {
  const char* script;
  int active_panel;
  const char* selected;
  std::uint32_t option_flags;
  const char* status;  // the status line's first 25 characters at the next present
};

TEST(Dispatch, ActivationByKind) {
  const ActivationCase cases[] = {
      // Label lines and shown values do nothing.
      {"alt f down down down down down down down enter", 1, "current image", 0x200, ""},
      {"alt f up enter", 1, "height", 0x200, ""},
      // Check boxes flip their own bits; twice gives the old flags back.
      {"alt csyy", 7, "---- close -----", 0x200, ""},
      {"alt csidf", 7, "---- close -----", 0x200 | 1u << 10 | 1u << 4 | 1u << 5, ""},
      // A click on a check box of the drop-down without the focus.
      {"alt cs click:5,4", 7, "---- close -----", 0x200 | 1u << 3, ""},
      // Confirm in Rotate image with Angle 0 (and no picture) changes nothing.
      {"alt er.", 5, "---- close -----", 0x200, ""},
      // A click on Save (title then entry) leaves the menus inactive; with no picture
      // nothing is saved.
      {"click:2,4 click:6,4", -1, "", 0x200, "Error: file not saved"},
      {"alt fp", 1, "---- close -----", 0x200, "Error: not palettized"},
      // The focused drop-down's close entry clicked.
      {"alt cs click:4,20", -1, "", 0x200, ""},
  };
  for (const ActivationCase& c : cases) {
    SCOPED_TRACE(c.script);
    Harness h;
    ASSERT_TRUE(h.start());
    play(h, c.script);
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
// write 24, 16 (for the menu's 15) or 8 bits.
TEST(Dispatch, SaveCommandsWriteTheirDepths) {
  constexpr SaveCase kSaves[] = {
      {"s", false, "pic.bmp", 24},
      {"bcopy.bmp\r", false, "copy.bmp", 24},
      {"mfifteen.bmp\r", false, "fifteen.bmp", 16},
      {"peight.bmp\r", true, "eight.bmp", 8},
  };
  for (const SaveCase& c : kSaves) {
    SCOPED_TRACE(c.keys);
    Harness h;
    h.dir.write("pic.bmp", support::bmp24(2, 1, 0x00FF00));
    ASSERT_TRUE(h.start("pic.bmp"));
    if (c.use_palette) h.app.menus.toggle_option(core::option::kUsePalette);
    press_alt(h.screen);
    h.screen.key("f");
    h.screen.keys(c.keys);
    h.screen.then([&h] { EXPECT_EQ(h.text(23, 1, 12), "File saved. "); });
    EXPECT_EQ(h.run(), 0);
    const std::string bytes = h.dir.read(c.file);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<int>(bytes[28]), c.bits_per_pixel);
    const std::size_t stride = (c.bits_per_pixel / 8 * 2 + 3) / 4 * 4;  // two pixels
    EXPECT_EQ(bytes.size(), (c.bits_per_pixel == 8 ? 54u + 1024u : 54u) + stride);
  }
}

}  // namespace
