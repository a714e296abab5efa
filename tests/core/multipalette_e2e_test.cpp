// Multipalette through the window: the color Palette panel's check box and values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/multipalette.h"
#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using support::Harness;

// Smooth colours that four colours per 8 x 8 zone show better than four for the picture.
img::Pixel scene(int x, int y) {
  return img::make_pixel((x * 5 + y) % 256, (y * 3 + 40) % 256, ((x ^ y) * 2) % 256);
}

std::vector<img::Pixel> back_buffer(const Harness& h) {
  return h.app.back_buffer;
}

TEST(MultipaletteEndToEnd, TogglingChangesTheScreenAndOffRestoresTheSinglePalette) {
  Harness h(support::settings_text(18, 32, 512, 512));
  h.dir.write("pic.bmp", support::bmp24(120, 80, scene));
  ASSERT_TRUE(h.start("pic.bmp"));
  const std::string enter(1, platform::kEnter);
  // Colors, color Palette, Use palette, Pal size 4.
  h.screen.hold({platform::scan::kAlt}).hold({}).keys("cpu").key("p").keys("4").key(enter);
  std::vector<img::Pixel> single;
  h.screen.then([&] { single = back_buffer(h); });
  // The zone values alone change nothing while Multipalette is off.
  h.screen.key("s").keys("4").key(enter).key("w").keys("8").key(enter);
  h.screen.key("h").keys("8").key(enter).then([&] { EXPECT_EQ(back_buffer(h), single); });
  h.screen.key("m").then([&] {
    EXPECT_NE(back_buffer(h), single);
    // The processed picture is the stage's own result on the working image.
    img::Multipalette stage;
    ASSERT_TRUE(stage.reserve(120, 80));
    std::vector<img::Pixel> pic(120 * 80);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x) pic[y * 120 + x] = h.app.store.working().at(x, y);
    img::ColourSettings s;
    s.use_palette = s.multipalette = true;
    s.pal_size = s.palettes = 4;
    s.zone_width = s.zone_height = 8;
    stage.build_and_map({pic.data(), 120}, 120, 80, s);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x)
        ASSERT_EQ(h.app.store.processed().at(x, y), pic[y * 120 + x]) << x << "," << y;
  });
  h.screen.key("m").then([&] { EXPECT_EQ(back_buffer(h), single); });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
