#include "image/view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "image/compose.h"

namespace {

using img::Pixel;

TEST(View, DisplaySizeRoundsHalvesToEvenAndStaysBounded) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double size;
    std::int32_t expected;
  } cases[] = {
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {704.0000153, 704},
      {0.49, 0},
      {-3.0, 0},
      {inf, img::kMaxDisplaySize},
      {std::nan(""), 0},
      {1e30, img::kMaxDisplaySize},
      {4194302.6, 4194303},
      {4194303.4, 4194303},
  };
  for (const auto& c : cases) EXPECT_EQ(img::to_display_size(c.size), c.expected) << c.size;
  // The product is formed in double precision: 4000 x 0.2f is 800.0000119, 800 pixels.
  img::ViewState view;
  view.scaling = 0.2f;
  view.aspect = 1.1f;
  img::update_display_size(view, 4000, 1000);
  EXPECT_EQ(view.display_width, 880);
  EXPECT_EQ(view.display_height, 200);
  // Zoomed to infinity and squeezed to nothing: the product is not a number.
  view.scaling = std::numeric_limits<float>::infinity();
  view.aspect = 0.0f;
  img::update_display_size(view, 10, 10);
  EXPECT_EQ(view.display_width, 0);
  EXPECT_EQ(view.display_height, img::kMaxDisplaySize);
}

// A screen with its back buffer and a picture of distinct pixels.
struct Scene {
  std::int32_t screen_w, screen_h, image_w, image_h;
  std::vector<Pixel> back, picture;
  img::ComposeWorkspace workspace;

  Scene(std::int32_t sw, std::int32_t sh, std::int32_t iw, std::int32_t ih)
      : screen_w(sw),
        screen_h(sh),
        image_w(iw),
        image_h(ih),
        back(std::size_t(sw) * sh, 0x00DEAD),
        picture(std::size_t(iw) * ih) {
    std::mt19937 rng(iw * 31 + ih);
    for (Pixel& p : picture) p = rng() & 0xFFFFFF;
    workspace.reserve(iw, sw);
  }
  img::Plane back_plane() { return {back.data(), screen_w}; }
  img::ConstPlane source() const { return {picture.data(), image_w}; }
  void update(img::ViewState& view, img::Redraw redraw, bool fit_first = false) {
    img::view_update(view, redraw, fit_first, source(), image_w, image_h, back_plane(), screen_w,
                     screen_h, workspace);
  }
  Pixel& at(std::int32_t x, std::int32_t y) { return back[std::size_t(y) * screen_w + x]; }

  // What a full redraw of `view` shows, built from the plain compose rule.
  std::vector<Pixel> expected(const img::ViewState& view) const {
    std::vector<Pixel> out(std::size_t(screen_w) * screen_h, 0);
    const img::Span s = img::visible_span(view, screen_w, screen_h);
    img::compose_reference(source(), image_w, image_h, view.display_width, view.display_height,
                           s.x0, s.x1, s.y0, s.y1, {out.data(), screen_w}, view.h_offset,
                           view.v_offset);
    return out;
  }
};

TEST(View, RequestedOffsetsAreBounded) {
  const struct {
    std::int32_t requested_h, requested_v, h, v;
  } cases[] = {
      {-5000, 0, -99, 0},    // one column of the 100 stays on screen
      {0, -5000, 0, -79},    // one row of the 80
      {900, 700, 319, 239},  // beyond the right and bottom edges: the last column and row
      {-99, -79, -99, -79},
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), -99,
       239},
  };
  for (const auto& c : cases) {
    Scene scene(320, 240, 50, 40);
    img::ViewState view;
    view.scaling = 2.0f;
    view.requested_h = c.requested_h;
    view.requested_v = c.requested_v;
    scene.update(view, img::Redraw::kFull);
    EXPECT_EQ(view.h_offset, c.h) << c.requested_h;
    EXPECT_EQ(view.v_offset, c.v) << c.requested_v;
    EXPECT_EQ(view.requested_h, c.h);
    EXPECT_EQ(view.requested_v, c.v);
    EXPECT_EQ(scene.back, scene.expected(view));
  }
}

TEST(View, FullRedrawClearsAndComposes) {
  Scene scene(64, 48, 30, 20);
  img::ViewState view;
  view.scaling = 1.5f;
  view.aspect = 0.8f;
  view.requested_h = 5;
  view.requested_v = -7;
  scene.update(view, img::Redraw::kFull);
  EXPECT_EQ(view.display_width, 36);  // 30 x 1.5 x 0.8
  EXPECT_EQ(view.display_height, 30);
  EXPECT_EQ(scene.back, scene.expected(view));
  EXPECT_EQ(scene.at(4, 0), 0u);   // left of the picture
  EXPECT_EQ(scene.at(41, 0), 0u);  // right of it
  EXPECT_EQ(scene.at(5, 23), 0u);  // below it
}

TEST(View, EmptyPictureLeavesTheBackBuffer) {
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-4, 5}}) {
    Scene scene(16, 16, 4, 4);
    img::ViewState view;
    img::view_update(view, img::Redraw::kFull, true, scene.source(), w, h, scene.back_plane(), 16,
                     16, scene.workspace);
    EXPECT_EQ(scene.back, std::vector<Pixel>(256, 0x00DEAD));
  }
}

TEST(View, DisplayBelowTwoLeavesBlack) {
  Scene scene(40, 30, 10, 10);
  img::ViewState view;
  view.scaling = 0.15f;  // 1.5 rounds to 2 across, but ...
  view.aspect = 0.5f;    // ... 0.75 rounds to 1
  scene.update(view, img::Redraw::kFull);
  EXPECT_EQ(view.display_width, 1);
  EXPECT_EQ(scene.back, std::vector<Pixel>(40 * 30, 0));
}

TEST(View, AutomaticFitComesFirstAndRedrawsAll) {
  Scene scene(64, 48, 32, 20);
  img::ViewState view;
  view.requested_h = -1000;  // a scroll request is turned into a full redraw
  scene.update(view, img::Redraw::kScroll, true);
  EXPECT_EQ(view.scaling, 2.0f);
  EXPECT_EQ(view.h_offset, 0);
  EXPECT_EQ(view.v_offset, 4);
  EXPECT_EQ(scene.back, scene.expected(view));
}

// Scrolling: a shown picture is moved by the arrow keys' 8 pixels. A marked pixel in the old
// back buffer tells whether a column was moved (the mark travels) or composed (it is gone).
TEST(View, ScrollComposesOnlyTheStripComingIntoView) {
  const Pixel kMark = 0xABCDEF;
  const struct {
    const char* name;
    std::int32_t picture_w, start_h, requested_h;
    std::int32_t composed_first, composed_last;  // screen columns composed, -1 for none
  } cases[] = {
      // Left arrow on a picture past the left edge: the 9 leftmost columns are composed.
      {"left arrow, picture past the left edge", 200, -50, -42, 0, 8},
      // Right arrow on a picture past the right edge: the 9 rightmost columns.
      {"right arrow, picture past the right edge", 200, 10, 2, 111, 119},
      // Whole picture on screen before and after: moved only.
      {"whole picture on screen", 60, 20, 12, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene(120, 40, c.picture_w, 20);
    img::ViewState view;
    view.requested_h = c.start_h;
    view.requested_v = 5;
    scene.update(view, img::Redraw::kFull);
    // Mark every pixel of the picture's rows: columns still marked afterwards were moved.
    for (std::int32_t x = 0; x < 120; ++x) {
      if (scene.at(x, 10) != 0) scene.at(x, 10) = kMark;
    }
    view.requested_h = c.requested_h;
    scene.update(view, img::Redraw::kScroll);
    const std::vector<Pixel> expected = scene.expected(view);
    for (std::int32_t x = 0; x < 120; ++x) {
      const Pixel want = expected[std::size_t(10) * 120 + x];
      const bool composed = x >= c.composed_first && x <= c.composed_last;
      if (want == 0) {
        EXPECT_EQ(scene.at(x, 10), 0u) << "vacated column " << x;
      } else if (composed) {
        EXPECT_EQ(scene.at(x, 10), want) << "composed column " << x;
      } else {
        EXPECT_EQ(scene.at(x, 10), kMark) << "moved column " << x;
      }
    }
    // Every other row is exactly what a full redraw gives.
    for (std::int32_t y = 0; y < 40; ++y) {
      if (y == 10) continue;
      for (std::int32_t x = 0; x < 120; ++x) {
        ASSERT_EQ(scene.at(x, y), expected[std::size_t(y) * 120 + x]) << x << "," << y;
      }
    }
  }
}

// Any sequence of moves, small or wider than the screen, in any direction, leaves the same
// back buffer as a full redraw would.
TEST(View, ScrollingMatchesAFullRedraw) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    const std::int32_t sw = 40 + std::int32_t(rng() % 60), sh = 30 + std::int32_t(rng() % 50);
    Scene scene(sw, sh, 5 + std::int32_t(rng() % 120), 5 + std::int32_t(rng() % 90));
    img::ViewState view;
    view.scaling = 0.3f + float(rng() % 100) / 40.0f;
    view.aspect = 0.5f + float(rng() % 100) / 60.0f;
    view.requested_h = std::int32_t(rng() % 200) - 100;
    view.requested_v = std::int32_t(rng() % 200) - 100;
    scene.update(view, img::Redraw::kFull);
    for (int move = 0; move < 25; ++move) {
      const std::int32_t reach = (rng() % 4 == 0) ? 3 * sw : 20;
      view.requested_h += std::int32_t(rng() % (2 * reach + 1)) - reach;
      view.requested_v += std::int32_t(rng() % (2 * reach + 1)) - reach;
      scene.update(view, img::Redraw::kScroll);
      ASSERT_EQ(scene.back, scene.expected(view))
          << "round " << round << " move " << move << " offsets " << view.h_offset << ","
          << view.v_offset;
    }
  }
}

// A zoom and a pan in the same pass ask for a scroll; the picture must still be redrawn.
TEST(View, ScrollAfterAZoomRedrawsAll) {
  Scene scene(64, 48, 30, 20);
  img::ViewState view;
  scene.update(view, img::Redraw::kFull);
  view.scaling = 1.5f;
  view.requested_h = 4;
  scene.update(view, img::Redraw::kScroll);
  EXPECT_EQ(view.display_width, 45);
  EXPECT_EQ(scene.back, scene.expected(view));
}

// Factors no key bounds: the view update neither overflows nor reads or writes out of place.
TEST(View, ExtremeFactorsAreSafe) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float scaling, aspect;
  } cases[] = {{inf, 1.0f},    {inf, 0.0f},     {1e30f, 1e30f}, {0.0f, 0.0f},
               {1e-30f, 1.0f}, {3000.0f, 1.0f}, {1.0f, 1e-7f}};
  for (const auto& c : cases) {
    Scene scene(64, 48, 20, 10);
    img::ViewState view;
    view.scaling = c.scaling;
    view.aspect = c.aspect;
    view.requested_h = -30;
    view.requested_v = 7;
    scene.update(view, img::Redraw::kFull);
    EXPECT_EQ(scene.back, scene.expected(view)) << c.scaling << " " << c.aspect;
    view.requested_h -= 64;
    view.requested_v += 100;
    scene.update(view, img::Redraw::kScroll);
    EXPECT_EQ(scene.back, scene.expected(view)) << c.scaling << " " << c.aspect;
    EXPECT_GE(std::int64_t{view.display_width} + view.h_offset, 1);
    EXPECT_GE(std::int64_t{view.display_height} + view.v_offset, 1);
  }
}

}  // namespace
