// Rotate image and the crop Tool through the whole program on the scripted screen.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/operations.h"
#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using support::Harness;

// A 40 x 30 picture whose every pixel tells its place.
img::Pixel place(int x, int y) {
  return img::make_pixel(x * 6, y * 8, (x * 3 + y * 5) & 255);
}

void press_alt(Harness& h) {
  h.screen.hold({platform::scan::kAlt}).hold({});
}

// The picture of the working image, row after row.
std::vector<img::Pixel> picture(const core::App& app) {
  std::vector<img::Pixel> out;
  for (int y = 0; y < app.store.height; ++y) {
    for (int x = 0; x < app.store.width; ++x) out.push_back(app.store.working().at(x, y));
  }
  return out;
}

std::vector<img::Pixel> expected(int w, int h, const std::function<img::Pixel(int, int)>& f) {
  std::vector<img::Pixel> out;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out.push_back(f(x, y));
  }
  return out;
}

// Edit, Rotate image, Angle, confirm; File then shows the new size, Save writes it and the
// file loads back as the turned picture.
TEST(RotateEndToEnd, ConfirmTurnsShowsTheSizeAndSaves) {
  const struct {
    const char* angle;
    int store;  // maxh = maxv
    int w, h;
    std::string status;
    std::function<img::Pixel(int, int)> turned;
    int undo_levels;  // a refused or empty rotation leaves nothing to undo
  } cases[] = {
      {"90", 256, 30, 40, "", [](int x, int y) { return place(y, 29 - x); }, 1},
      {"-90", 256, 30, 40, "", [](int x, int y) { return place(39 - y, x); }, 1},
      {"45", 48, 40, 30, "Error: size is too large", place, 0},  // 50 x 50 does not fit
      {"360", 256, 40, 30, "", place, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    Harness h(support::settings_text(18, 32, c.store, c.store));
    h.dir.write("pic.bmp", support::bmp24(40, 30, place));
    ASSERT_TRUE(h.start("pic.bmp"));
    press_alt(h);
    h.screen.keys("era").keys(c.angle).key("\r").key(".").then([&] {
      if (c.status.empty()) {
        EXPECT_EQ(h.find("Error"), std::make_pair(0, 0));
      } else {
        EXPECT_EQ(h.text(23, 1, static_cast<int>(c.status.size())), c.status);
      }
      EXPECT_EQ(h.app.history.undo_levels(), c.undo_levels);
    });
    press_alt(h);
    h.screen.key("f").then([&] {
      EXPECT_EQ(h.text(12, 2, 17), "width    " + std::string(7 - std::to_string(c.w).size(), ' ') +
                                       std::to_string(c.w));
      EXPECT_EQ(h.text(13, 2, 17), "height   " + std::string(7 - std::to_string(c.h).size(), ' ') +
                                       std::to_string(c.h));
    });
    h.screen.key("s").then([&] {
      h.app.requested_name = "pic.bmp";
      core::load_requested_picture(h.app);
      ASSERT_EQ(h.app.store.width, c.w);
      ASSERT_EQ(h.app.store.height, c.h);
      EXPECT_EQ(picture(h.app), expected(c.w, c.h, c.turned));
    });
    EXPECT_EQ(h.run(), 0);
  }
}

// Screen point at the middle of picture pixel (x, y) when the 40 x 30 picture fills the
// 640 x 480 screen (scaling 16).
int at(int p) {
  return p * 16 + 8;
}

// The crop Tool on (Edit, t), then the menus inactive again (close Edit with "-").
void crop_tool_on(Harness& h) {
  press_alt(h);
  h.screen.keys("et-");
}

void drag(Harness& h, int x0, int y0, int x1, int y1) {
  h.screen.mouse(x0, y0, 0).mouse(x0, y0, 1).mouse((x0 + x1) / 2, (y0 + y1) / 2, 1);
  h.screen.mouse(x1, y1, 1).mouse(x1, y1, 0);
}

TEST(CropEndToEnd, DragSelectsFramesAndEnterCrops) {
  Harness h(support::settings_text(18, 32, 256, 256));
  h.dir.write("pic.bmp", support::bmp24(40, 30, place));
  ASSERT_TRUE(h.start("pic.bmp"));
  crop_tool_on(h);
  std::vector<img::Pixel> back;
  h.screen.then([&] {
    ASSERT_FLOAT_EQ(h.app.view.scaling, 16.0f);
    back = h.app.back_buffer;
  });
  // From pixel (12, 9) up and left to pixel (5, 4): the rectangle 5 … 12 by 4 … 9.
  drag(h, at(12), at(9), at(5) + 5, at(4) - 7);
  h.screen.idle().then([&] {
    EXPECT_EQ(h.app.back_buffer, back);  // the frame is drawn over, never into, the buffer
    EXPECT_EQ(h.app.view.h_offset, 0);   // the drag did not pan
    EXPECT_EQ(h.text(24, 1, 17), "crop 8 x 6 at 5,4");
    // The frame runs round the displayed pixels of picture columns 5 … 12, rows 4 … 9:
    // black and white in dashes of four, by (x + y) / 4.
    for (auto [x, y] : {std::pair{80, 64},
                        {207, 64},
                        {80, 159},
                        {207, 159},
                        {80, 100},
                        {150, 64},
                        {207, 131},
                        {93, 159}}) {
      EXPECT_EQ(h.pixel(x, y), (x + y) / 4 % 2 ? 0xFFFFFFu : 0u) << x << "," << y;
    }
    EXPECT_EQ(h.pixel(81, 65), place(5, 4));  // inside the frame: the picture
    EXPECT_EQ(h.pixel(79, 64), place(4, 4));  // outside it too
  });
  // The frame follows the view: Right moves the picture 8 pixels left.
  h.screen.extended(platform::scan::kRight).then([&] {
    EXPECT_EQ(h.pixel(72, 64), (72 + 64) / 4 % 2 ? 0xFFFFFFu : 0u);
    EXPECT_EQ(h.pixel(80, 100), place(5, 6));
  });
  h.screen.key("\r").then([&] {
    EXPECT_EQ(h.app.store.width, 8);
    EXPECT_EQ(h.app.store.height, 6);
    EXPECT_EQ(picture(h.app), expected(8, 6, [](int x, int y) { return place(5 + x, 4 + y); }));
    EXPECT_FALSE(h.app.crop.present);
    EXPECT_FLOAT_EQ(h.app.view.scaling, 80.0f);  // fitted again, as after a load
    EXPECT_EQ(h.find("crop "), std::make_pair(0, 0));
  });
  EXPECT_EQ(h.run(), 0);
}

// The selection goes away by Esc, a press beside the picture, the Tool switched off or a
// load; without the Tool a left drag pans, and Enter and Esc do nothing.
TEST(CropEndToEnd, WaysTheSelectionIsDropped) {
  const struct {
    const char* name;
    std::function<void(Harness&)> action;
    bool kept;
  } cases[] = {
      {"Esc", [](Harness& h) { h.screen.key("\x1b"); }, false},
      {"press beside the picture",
       [](Harness& h) { h.screen.mouse(600, 470, 1).mouse(600, 470, 0); }, false},
      {"Tool off", [](Harness& h) { crop_tool_on(h); }, false},
      {"load", [](Harness& h) { h.screen.drop("pic.bmp"); }, false},
      {"Esc in a drop-down",
       [](Harness& h) {
         press_alt(h);
         h.screen.keys("v").key("\x1b");
       },
       true},
      {"flip X",
       [](Harness& h) {
         press_alt(h);
         h.screen.keys("ex-");
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(support::settings_text(18, 32, 256, 256));
    h.dir.write("pic.bmp", support::bmp24(40, 20, place));  // 640 x 320 at v offset 80
    ASSERT_TRUE(h.start("pic.bmp"));
    crop_tool_on(h);
    drag(h, at(3), 80 + at(2), at(9), 80 + at(7));
    h.screen.idle().then([&] { ASSERT_TRUE(h.app.crop.present); });
    c.action(h);
    h.screen.idle().then([&] {
      EXPECT_EQ(h.app.crop.present, c.kept);
      // Where the frame's corner was, the screen shows the back buffer again.
      if (!c.kept) {
        EXPECT_EQ(h.pixel(48, 112), h.app.back_buffer[112 * 640 + 48]);
      }
    });
    EXPECT_EQ(h.run(), 0);
  }
  Harness h(support::settings_text(18, 32, 256, 256));
  h.dir.write("pic.bmp", support::bmp24(40, 20, place));
  ASSERT_TRUE(h.start("pic.bmp"));
  drag(h, at(3), 80 + at(2), at(9), 80 + at(7));
  h.screen.key("\r").key("\x1b").then([&] {
    EXPECT_FALSE(h.app.crop.present);
    EXPECT_EQ(h.app.view.h_offset, 2 * (at(9) - at(3)));  // panned at twice the pointer's speed
    EXPECT_EQ(h.app.store.width, 40);
  });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
