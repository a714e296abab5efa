#include "image/pipeline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace img {
namespace {

class Pipeline : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(store_.allocate(16, 8, error)) << error;
    store_.width = 11;
    store_.height = 6;
    std::mt19937 rng(1);
    for (std::int32_t y = 0; y < store_.maxv; ++y)
      for (std::int32_t x = 0; x < store_.maxh; ++x) store_.working().at(x, y) = rng() & 0xFFFFFF;
    for (std::int32_t y = 0; y < store_.maxv; ++y)
      for (std::int32_t x = 0; x < store_.maxh; ++x) store_.processed().at(x, y) = kUntouched;
  }
  Pixel working(std::int32_t x, std::int32_t y) const { return store_.working().at(x, y); }
  Pixel processed(std::int32_t x, std::int32_t y) const { return store_.processed().at(x, y); }

  static constexpr Pixel kUntouched = 0x00ABCDEF;
  ImageStore store_;
  PaletteList palette_;
  Multipalette multipalette_;
};

TEST_F(Pipeline, NoStageCopiesThePictureOnly) {
  EXPECT_EQ(run_pipeline(store_, ColourSettings{}, palette_, multipalette_), -1);
  for (std::int32_t y = 0; y < store_.maxv; ++y) {
    for (std::int32_t x = 0; x < store_.maxh; ++x) {
      const bool inside = x < store_.width && y < store_.height;
      EXPECT_EQ(processed(x, y), inside ? working(x, y) : kUntouched) << x << "," << y;
    }
  }
}

TEST_F(Pipeline, EmptyPictureIsLeftAlone) {
  store_.width = 0;
  ColourSettings s;
  s.use_palette = true;
  EXPECT_EQ(run_pipeline(store_, s, palette_, multipalette_), -1);
  EXPECT_EQ(processed(0, 0), kUntouched);
}

TEST_F(Pipeline, StagesRunInOrderAndNeverAccumulate) {
  // Brightness -100 before 2 levels and then the palette: 200 -> 100 -> 0 -> 0. Reduction
  // before adjustment would give 255 -> 155; palette before reduction 200 -> 200 -> 255.
  store_.working().at(0, 0) = make_pixel(200, 200, 200);
  ColourSettings s;
  s.adjust_color = s.adjust_depth = s.use_palette = true;
  s.brightness = -100;
  s.red_levels = s.green_levels = s.blue_levels = 2;
  const Pixel before = working(3, 2);
  for (int run = 0; run < 2; ++run) {
    const std::int32_t n = run_pipeline(store_, s, palette_, multipalette_);
    EXPECT_GE(n, 1);
    EXPECT_EQ(n, palette_.count());
    EXPECT_EQ(processed(0, 0), make_pixel(0, 0, 0));
  }
  EXPECT_EQ(working(3, 2), before);  // the working image is never changed
}

TEST_F(Pipeline, SwitchingStagesOffRestoresTheWorkingImage) {
  ColourSettings s;
  s.adjust_color = true;
  s.contrast = 90;
  s.use_palette = true;
  s.pal_size = 3;
  EXPECT_EQ(run_pipeline(store_, s, palette_, multipalette_), 3);
  EXPECT_NE(processed(5, 5), working(5, 5));
  EXPECT_EQ(run_pipeline(store_, ColourSettings{}, palette_, multipalette_), -1);
  for (std::int32_t y = 0; y < store_.height; ++y)
    for (std::int32_t x = 0; x < store_.width; ++x) EXPECT_EQ(processed(x, y), working(x, y));
}

TEST(PipelineSettings, ShowsProcessedWhenAnyStageIsOn) {
  ColourSettings s;
  EXPECT_FALSE(shows_processed(s));
  s.intensity_bit = s.greyscale = s.dithering = true;  // options of a stage that is off
  EXPECT_FALSE(shows_processed(s));
  for (bool ColourSettings::*stage : {&ColourSettings::adjust_color, &ColourSettings::adjust_depth,
                                      &ColourSettings::use_palette}) {
    ColourSettings on;
    on.*stage = true;
    EXPECT_TRUE(shows_processed(on));
  }
}

}  // namespace
}  // namespace img
