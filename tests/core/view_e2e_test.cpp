#include <gtest/gtest.h>

#include <string>

#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using platform::scan::kLeft;
using platform::scan::kRight;
using support::Harness;

// A 320 x 200 picture whose every pixel tells its place: red = x / 2, green = y, blue = x & 1.
img::Pixel place(int x, int y) {
  return img::make_pixel(x / 2, y, x & 1);
}

// The back buffer at screen (sx, sy).
img::Pixel back(const Harness& h, int sx, int sy) {
  return h.app.back_buffer[static_cast<std::size_t>(sy) * h.app.screen_record.width + sx];
}

TEST(ViewEndToEnd, LoadFitsArrowsScrollAndTheMouseDrags) {
  Harness h(support::settings_text(18, 32, 512, 512));
  h.dir.write("pic.bmp", support::bmp24(320, 200, place));
  ASSERT_TRUE(h.start("pic.bmp"));
  h.screen.idle().then([&] {
    // Fitted on 640 x 480: scaling 2, display 640 x 400, offsets (0, 40).
    EXPECT_FLOAT_EQ(h.app.view.scaling, 2.0f);
    EXPECT_EQ(h.app.view.h_offset, 0);
    EXPECT_EQ(h.app.view.v_offset, 40);
    EXPECT_EQ(back(h, 0, 39), 0u);
    EXPECT_EQ(back(h, 0, 40), place(0, 0));
    EXPECT_EQ(back(h, 7, 41), place(3, 0));
    EXPECT_EQ(back(h, 639, 439), place(319, 199));
    EXPECT_EQ(h.text(23, 1, 12), "File loaded.");
  });
  // Right arrow: the view moves right over the picture, the picture 8 pixels left.
  h.screen.extended(kRight).then([&] {
    EXPECT_EQ(h.app.view.h_offset, -8);
    EXPECT_EQ(back(h, 0, 40), place(4, 0));
    EXPECT_EQ(back(h, 631, 40), place(319, 0));
    EXPECT_EQ(back(h, 632, 40), 0u);  // uncovered columns are cleared
  });
  h.screen.extended(kLeft).extended(kLeft).then([&] {
    EXPECT_EQ(h.app.view.h_offset, 8);
    EXPECT_EQ(back(h, 7, 100), 0u);
    EXPECT_EQ(back(h, 8, 40), place(0, 0));
  });
  // A left drag of 5 pixels right and 3 down moves the picture twice as far.
  h.screen.mouse(300, 300, 0).mouse(300, 300, 1).mouse(305, 303, 1).idle().then([&] {
    EXPECT_EQ(h.app.view.h_offset, 18);
    EXPECT_EQ(h.app.view.v_offset, 46);
    EXPECT_EQ(back(h, 18, 46), place(0, 0));
  });
  // F2 fits again.
  h.screen.mouse(305, 303, 0).extended(platform::scan::kF2).then([&] {
    EXPECT_EQ(h.app.view.h_offset, 0);
    EXPECT_EQ(h.app.view.v_offset, 40);
  });
  EXPECT_EQ(h.run(), 0);
}

// After the automatic fit of a new picture (F4, Open, a drop), a right press without moving
// keeps the fitted zoom instead of going back to the zoom of the picture before.
TEST(ViewEndToEnd, RightPressAfterAnAutomaticFitKeepsTheFittedZoom) {
  for (const char* how : {"F4", "drop"}) {
    SCOPED_TRACE(how);
    Harness h(support::settings_text(18, 32, 512, 512));
    h.dir.write("a.bmp", support::bmp24(320, 200, place));
    h.dir.write("b.bmp", support::bmp24(64, 48, place));
    ASSERT_TRUE(h.start("a.bmp"));
    h.screen.mouse(100, 100, 0).idle().then([&] { EXPECT_FLOAT_EQ(h.app.view.scaling, 2.0f); });
    if (std::string(how) == "F4") {
      h.screen.extended(platform::scan::kF4);
    } else {
      h.screen.drop("b.bmp");
    }
    h.screen.idle().then([&] { EXPECT_FLOAT_EQ(h.app.view.scaling, 10.0f); });  // 640 / 64
    h.screen.mouse(100, 100, 2).idle().then([&] {
      EXPECT_FLOAT_EQ(h.app.view.scaling, 10.0f);
      EXPECT_EQ(h.app.current_name, "b.bmp");
    });
    EXPECT_EQ(h.run(), 0);
  }
}

TEST(ViewEndToEnd, ZoomKeysAndTheLock) {
  Harness h(support::settings_text(18, 32, 512, 512));
  h.dir.write("pic.bmp", support::bmp24(320, 200, place));
  ASSERT_TRUE(h.start("pic.bmp"));
  float fitted = 0;
  h.screen.idle().then([&] { fitted = h.app.view.scaling; });
  h.screen.extended(platform::scan::kHome).then([&] {
    EXPECT_FLOAT_EQ(h.app.view.scaling, static_cast<float>(fitted * 0.95));
    EXPECT_EQ(h.app.view.display_width, 608);
  });
  // locK view (View menu, "k") switches the keys off; F2 still fits.
  h.screen.hold({platform::scan::kAlt}).hold({}).keys("vk");
  h.screen.hold({platform::scan::kAlt}).hold({}).hold({platform::scan::kAlt}).hold({});
  h.screen.extended(platform::scan::kEnd).extended(kRight).then([&] {
    EXPECT_TRUE(h.app.menus.option(0));
    EXPECT_EQ(h.app.menus.state.active_panel, -1);
    EXPECT_EQ(h.app.view.display_width, 608);
    EXPECT_EQ(h.app.view.h_offset, 0);  // Right would have made it -8
  });
  h.screen.extended(platform::scan::kF2).then([&] {
    EXPECT_EQ(h.app.view.h_offset, 0);
    EXPECT_FLOAT_EQ(h.app.view.scaling, fitted);
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(ColourEndToEnd, StagesChangeTheScreenAndSwitchingOffRestoresIt) {
  Harness h(support::settings_text(18, 32, 512, 512));
  h.dir.write("pic.bmp", support::bmp24(320, 200, place));
  ASSERT_TRUE(h.start("pic.bmp"));
  // Colors menu: adJust color on, Contrast -128 (every component becomes 128).
  h.screen.hold({platform::scan::kAlt}).hold({}).keys("cjc").key("-").keys("128");
  h.screen.key(std::string(1, platform::kEnter)).then([&] {
    EXPECT_EQ(h.app.menus.integer(6), -128);
    EXPECT_EQ(back(h, 300, 300), 0x808080u);
    EXPECT_EQ(h.app.store.working().at(150, 130), place(150, 130));  // never changed
  });
  h.screen.key("j").then([&] { EXPECT_EQ(back(h, 300, 300), place(150, 130)); });
  EXPECT_EQ(h.run(), 0);
}

TEST(ColourEndToEnd, AnEightBitSaveOfAPalettizedPictureRoundTrips) {
  Harness h(support::settings_text(18, 32, 512, 512));
  // Five colours, fewer than Pal size: the palette keeps them all at 6 bits.
  h.dir.write("pic.bmp", support::bmp24(30, 20, [](int x, int y) {
                const img::Pixel colours[5] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x123456};
                return colours[(x / 6 + y) % 5];
              }));
  ASSERT_TRUE(h.start("pic.bmp"));
  // Colors, color Palette ("p"), Use palette ("u"); then File ("f"), save as bmP 8 ("p").
  h.screen.hold({platform::scan::kAlt}).hold({}).keys("cpu");
  h.screen.hold({platform::scan::kAlt}).hold({}).keys("fp");
  h.screen.keys("out.bmp").key(std::string(1, platform::kEnter));
  std::uint32_t processed[30 * 20];
  h.screen.then([&] {
    EXPECT_EQ(h.app.current_name, "out.bmp");
    EXPECT_EQ(h.text(23, 1, 11), "File saved.");
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) processed[y * 30 + x] = h.app.store.processed().at(x, y);
    EXPECT_EQ(processed[0], 0xFC0000u);  // 255 at 6 bits shows as 252
    h.app.requested_name = "out.bmp";
  });
  EXPECT_EQ(h.run(), 0);
  ASSERT_EQ(h.dir.read("out.bmp").size(), 1078u + 32u * 20u);
  EXPECT_EQ(h.dir.read("out.bmp")[28], 8);
  // Loaded back, the file holds exactly the palettized picture.
  Harness again;
  again.dir.write("out.bmp", h.dir.read("out.bmp"));
  ASSERT_TRUE(again.start("out.bmp"));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(again.app.store.working().at(x, y), processed[y * 30 + x]) << x << "," << y;
}

}  // namespace
