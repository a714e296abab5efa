#include "image/view_controls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "image/view.h"

namespace {

TEST(Fit, CentresThePictureAtTheSmallerRatio) {
  const struct {
    std::int32_t image_w, image_h, screen_w, screen_h;
    float scaling;
    std::int32_t display_w, display_h, h, v;
  } cases[] = {
      {320, 200, 640, 480, 2.0f, 640, 400, 0, 40},
      {4000, 1000, 800, 600, 0.2f, 800, 200, 0, 200},
      {635, 480, 640, 480, 1.0f, 635, 480, 2, 0},  // margin 5: the odd pixel goes right
      {640, 475, 640, 480, 1.0f, 640, 475, 0, 2},  // and down
      {1, 1, 640, 480, 480.0f, 480, 480, 80, 0},   // the smallest picture that fits
      {4096, 4096, 800, 600, 0.146484375f, 600, 600, 100, 0},
      {1000, 1000, 640, 480, 0.48f, 480, 480, 80, 0},  // a tie of ratios is not needed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.image_w << " x " << c.image_h);
    img::ViewState view;
    view.aspect = 2.5f;
    view.requested_h = 17;
    ASSERT_TRUE(img::fit_to_screen(view, c.image_w, c.image_h, c.screen_w, c.screen_h));
    EXPECT_EQ(view.aspect, 1.0f);
    EXPECT_EQ(view.scaling, c.scaling);
    EXPECT_EQ(view.requested_h, c.h);
    EXPECT_EQ(view.requested_v, c.v);
    img::update_display_size(view, c.image_w, c.image_h);
    EXPECT_EQ(view.display_width, c.display_w);
    EXPECT_EQ(view.display_height, c.display_h);
  }
}

TEST(Fit, PictureWithAnEmptySideIsLeftAlone) {
  for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {0, 0}, {0, 5}, {7, 0}, {-3, 10}, {10, -3}}) {
    img::ViewState view;
    view.scaling = 3.0f;
    view.aspect = 0.5f;
    view.requested_h = 11;
    view.requested_v = 12;
    EXPECT_FALSE(img::fit_to_screen(view, w, h, 640, 480)) << w << " x " << h;
    EXPECT_EQ(view.scaling, 3.0f);
    EXPECT_EQ(view.aspect, 0.5f);
    EXPECT_EQ(view.requested_h, 11);
    EXPECT_EQ(view.requested_v, 12);
  }
}

TEST(Fit, OriginalSizeKeepsTheOffsets) {
  img::ViewState view;
  view.scaling = 0.3f;
  view.aspect = 1.7f;
  view.requested_h = -40;
  view.requested_v = 9;
  img::original_size(view);
  EXPECT_EQ(view.scaling, 1.0f);
  EXPECT_EQ(view.aspect, 1.0f);
  EXPECT_EQ(view.requested_h, -40);
  EXPECT_EQ(view.requested_v, 9);
}

TEST(ViewKeys, EachKeyMovesOrZooms) {
  namespace k = platform::scan;
  const struct {
    int scan;
    bool shift;
    std::int32_t dh, dv;
    float scaling, aspect;
    int redraw;
  } cases[] = {
      {k::kDown, false, 0, -8, 1.0f, 1.0f, 2},   {k::kUp, false, 0, 8, 1.0f, 1.0f, 2},
      {k::kRight, false, -8, 0, 1.0f, 1.0f, 2},  {k::kLeft, false, 8, 0, 1.0f, 1.0f, 2},
      {k::kDown, true, 0, -64, 1.0f, 1.0f, 2},   {k::kLeft, true, 64, 0, 1.0f, 1.0f, 2},
      {k::kPageUp, false, 0, 0, 1.0f, 0.95f, 1}, {k::kPageDown, false, 0, 0, 1.0f, 1.05f, 1},
      {k::kHome, false, 0, 0, 0.95f, 1.0f, 1},   {k::kEnd, true, 0, 0, 1.05f, 1.0f, 1},
      {59, false, 0, 0, 1.0f, 1.0f, 0},  // F1 is no view key
      {60, false, 0, 0, 1.0f, 1.0f, 0},  // nor F2, which fits through its own path
      {0, false, 0, 0, 1.0f, 1.0f, 0},
  };
  for (const auto& c : cases) {
    img::ViewState view;
    view.requested_h = 100;
    view.requested_v = -100;
    EXPECT_EQ(static_cast<int>(img::view_key(view, c.scan, c.shift)), c.redraw) << c.scan;
    EXPECT_EQ(view.requested_h, 100 + c.dh) << c.scan;
    EXPECT_EQ(view.requested_v, -100 + c.dv) << c.scan;
    EXPECT_EQ(view.scaling, c.scaling) << c.scan;
    EXPECT_EQ(view.aspect, c.aspect) << c.scan;
  }
}

TEST(ViewKeys, HomeFourteenTimesHalvesTheZoom) {
  img::ViewState view;
  for (int i = 0; i < 14; ++i) img::view_key(view, platform::scan::kHome, false);
  EXPECT_NEAR(view.scaling, 0.48767, 1e-5);  // 0.95 to the 14th power
}

// The keys have no bounds: thousands of presses reach infinity or almost zero, and offsets
// saturate.
TEST(ViewKeys, UnboundedFactorsAndSaturatingOffsets) {
  img::ViewState view;
  for (int i = 0; i < 2000; ++i) img::view_key(view, platform::scan::kEnd, false);
  EXPECT_TRUE(std::isinf(view.scaling));
  for (int i = 0; i < 3000; ++i) img::view_key(view, platform::scan::kPageUp, false);
  EXPECT_LT(view.aspect, 1e-40f);  // a denormal that 0.95 no longer lowers
  view.requested_h = std::numeric_limits<std::int32_t>::max() - 10;
  view.requested_v = std::numeric_limits<std::int32_t>::min() + 10;
  img::view_key(view, platform::scan::kLeft, true);
  img::view_key(view, platform::scan::kDown, true);
  EXPECT_EQ(view.requested_h, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(view.requested_v, std::numeric_limits<std::int32_t>::min());
}

TEST(MouseView, DragsPanZoomAndStretch) {
  constexpr int kLeft = img::kLeftButton, kRight = img::kRightButton, kBoth = kLeft | kRight;
  const struct {
    const char* name;
    int buttons;
    std::int32_t dx, dy;
    float previous_scaling, previous_aspect;
    float scaling, aspect;
    std::int32_t h, v;
    int redraw;
  } cases[] = {
      {"left pans twice as fast", kLeft, 5, -3, 1.0f, 1.0f, 1.0f, 1.0f, 10, -6, 2},
      {"left without moving still scrolls", kLeft, 0, 0, 1.0f, 1.0f, 1.0f, 1.0f, 0, 0, 2},
      {"right across the screen adds 1", kRight, 640, 9, 1.5f, 1.0f, 2.5f, 1.0f, 0, 0, 1},
      {"right to the left zooms out", kRight, -160, 0, 1.0f, 1.0f, 0.75f, 1.0f, 0, 0, 1},
      {"zoom stops at 0.01", kRight, -640, 0, 0.5f, 1.0f, 0.01f, 1.0f, 0, 0, 1},
      {"zoom at its floor stays", kRight, -64, 0, 0.01f, 1.0f, 0.01f, 1.0f, 0, 0, 0},
      {"right without moving", kRight, 0, 40, 1.25f, 1.0f, 1.25f, 1.0f, 0, 0, 0},
      {"both stretch", kBoth, 320, 50, 1.0f, 1.0f, 1.0f, 1.5f, 0, 0, 1},
      {"stretch stops at 0.1", kBoth, -640, 0, 1.0f, 0.5f, 1.0f, 0.1f, 0, 0, 1},
      {"stretch at its floor stays", kBoth, -5, 0, 1.0f, 0.1f, 1.0f, 0.1f, 0, 0, 0},
      {"no button", 0, 100, 100, 1.0f, 1.0f, 1.0f, 1.0f, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    img::ViewState view;
    const img::Redraw redraw =
        img::mouse_view(view, c.buttons, c.dx, c.dy, c.previous_scaling, c.previous_aspect, 640);
    EXPECT_EQ(static_cast<int>(redraw), c.redraw);
    EXPECT_FLOAT_EQ(view.scaling, c.scaling);
    EXPECT_FLOAT_EQ(view.aspect, c.aspect);
    EXPECT_EQ(view.requested_h, c.h);
    EXPECT_EQ(view.requested_v, c.v);
  }
}

// The mouse works from the factors as the previous pass ended, not as a key left them.
TEST(MouseView, StartsFromThePreviousPass) {
  img::ViewState view;
  img::view_key(view, platform::scan::kEnd, false);  // scaling 1.05 in this pass
  EXPECT_EQ(img::mouse_view(view, img::kRightButton, 64, 0, 1.0f, 1.0f, 640), img::Redraw::kFull);
  EXPECT_FLOAT_EQ(view.scaling, 1.1f);
}

TEST(Redraw, AFullRedrawIsNeverLoweredToAScroll) {
  const int cases[][3] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 2}, {1, 0, 1}, {1, 2, 1},
                          {2, 1, 1}, {2, 0, 2}, {2, 2, 2}, {1, 1, 1}};
  for (const auto& c : cases) {
    const img::Redraw joined = img::combine_redraw(img::Redraw(c[0]), img::Redraw(c[1]));
    EXPECT_EQ(static_cast<int>(joined), c[2]);
  }
}

}  // namespace
