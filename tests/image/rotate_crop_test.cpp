#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "image/crop.h"
#include "image/rotate.h"
#include "image/view.h"
#include "test_store.h"

namespace {

using img::Pixel;

// The resampled rotation pixel by pixel, straight from its definition in rotate.h.
Pixel rotated_pixel(const img::TestStore& old, std::int32_t w, std::int32_t h,
                    const img::RotationPlan& p, std::int32_t x, std::int32_t y) {
  const std::int64_t one = std::int64_t{1} << 24, pixel = 2 * one;
  const std::int64_t a = 2 * std::int64_t{x} + 1 - p.width, b = 2 * std::int64_t{y} + 1 - p.height;
  const std::int64_t u = (w - 1) * one + a * p.cosine + b * p.sine;
  const std::int64_t v = (h - 1) * one - a * p.sine + b * p.cosine;
  if (u < -pixel || u > w * pixel || v < -pixel || v > h * pixel) return 0;
  const std::int64_t uq = u + (std::int64_t{1} << 16), vq = v + (std::int64_t{1} << 16);
  const auto floor_u = static_cast<std::int32_t>(uq >> 25);
  const auto floor_v = static_cast<std::int32_t>(vq >> 25);
  const img::CubicTaps tu = img::cubic_taps(static_cast<int>((uq >> 17) & 255));
  const img::CubicTaps tv = img::cubic_taps(static_cast<int>((vq >> 17) & 255));
  std::int32_t out[3] = {};
  for (int c = 0; c < 3; ++c) {
    std::int32_t sum = 0;
    for (int j = 0; j < 4; ++j) {
      std::int32_t row = 0;
      for (int k = 0; k < 4; ++k) {
        const std::int32_t sx = floor_u - 1 + k, sy = floor_v - 1 + j;
        const bool inside = sx >= 0 && sx < w && sy >= 0 && sy < h;
        row += tu[k] * (inside ? static_cast<std::int32_t>(old.at(sx, sy) >> (8 * c) & 255) : 0);
      }
      sum += tv[j] * row;
    }
    out[c] = std::min(255, std::max(0, (sum + (1 << 21)) >> 22));
  }
  return img::make_pixel(out[2], out[1], out[0]);
}

// Every new pixel against the oracle; the rest of the plane is not compared.
void expect_matches_oracle(std::int32_t w, std::int32_t h, float degrees, unsigned seed) {
  SCOPED_TRACE(testing::Message() << w << " x " << h << " by " << degrees);
  const img::TestStore old(96, 96, w, h, seed);
  const img::RotationPlan plan = img::plan_rotation(w, h, degrees);
  ASSERT_EQ(plan.quarter_turns, -1);
  for (int run = 0; run < 4; ++run) {
    const int threads = run % 2 == 0 ? 1 : 3;
    const bool vector = run >= 2;
    if (vector && !img::rotate_vector_supported()) continue;
    img::TestStore s(96, 96, w, h, seed);
    ASSERT_EQ(img::rotate_picture(s.store, degrees, threads, vector), platform::Status::kNone);
    ASSERT_EQ(s.store.width, plan.width);
    ASSERT_EQ(s.store.height, plan.height);
    for (std::int32_t y = 0; y < plan.height; ++y) {
      for (std::int32_t x = 0; x < plan.width; ++x) {
        ASSERT_EQ(s.at(x, y), rotated_pixel(old, w, h, plan, x, y))
            << "at " << x << "," << y << " with " << threads << " threads, vector " << vector;
      }
    }
  }
}

TEST(Rotate, QuarterTurnsMovePixelsExactly) {
  const float angles[] = {90, -270, 450, 180, -180, 270, -90, 0, 360, -720};
  const std::int32_t sizes[][2] = {{5, 3}, {4, 6}, {1, 7}, {7, 1}, {1, 1}, {6, 6}, {9, 9}};
  for (const auto& size : sizes) {
    const std::int32_t w = size[0], h = size[1];
    const img::TestStore old(12, 12, w, h);
    for (float angle : angles) {
      SCOPED_TRACE(testing::Message() << w << " x " << h << " by " << angle);
      img::TestStore s(12, 12, w, h);
      ASSERT_EQ(img::rotate_picture(s.store, angle), platform::Status::kNone);
      const int turns = ((static_cast<int>(angle) / 90) % 4 + 4) % 4;
      ASSERT_EQ(s.store.width, turns % 2 ? h : w);
      ASSERT_EQ(s.store.height, turns % 2 ? w : h);
      // Old pixel (x, y) goes, clockwise, to the place it reaches after `turns` quarter turns.
      for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
          std::int32_t nx = x, ny = y, nw = w, nh = h;
          for (int t = 0; t < turns; ++t) {
            const std::int32_t turned_x = nh - 1 - ny;
            ny = nx;
            nx = turned_x;
            std::swap(nw, nh);
          }
          ASSERT_EQ(s.at(nx, ny), old.at(x, y) & 0xFFFFFF) << x << "," << y;
        }
      }
    }
  }
}

TEST(Rotate, ResampledMatchesThePlainRule) {
  std::mt19937 rng(7);
  for (int i = 0; i < 24; ++i) {
    const auto w = static_cast<std::int32_t>(1 + rng() % 40);
    const auto h = static_cast<std::int32_t>(1 + rng() % 40);
    expect_matches_oracle(w, h, static_cast<float>(rng() % 72000) / 100.0f - 360.0f, rng());
  }
  const struct {
    std::int32_t w, h;
    float degrees;
  } cases[] = {{1, 1, 45},      {1, 9, 30},       {9, 1, -30},       {2, 2, 1},
               {3, 2, 89.99f},  {40, 30, 90.01f}, {31, 17, 179.99f}, {16, 16, -0.01f},
               {5, 33, 269.5f}, {60, 8, 0.5f}};
  for (const auto& c : cases) expect_matches_oracle(c.w, c.h, c.degrees, 3);
}

// The new size: the turned extent less 1/256, rounded up, then up to the old side's parity.
TEST(Rotate, PlanKeepsTheSmallestGridAlignedSize) {
  std::mt19937 rng(11);
  for (int i = 0; i < 500; ++i) {
    const auto w = static_cast<std::int32_t>(1 + rng() % 5000);
    const auto h = static_cast<std::int32_t>(1 + rng() % 5000);
    const float degrees = static_cast<float>(rng() % 36000) / 100.0f;
    const img::RotationPlan p = img::plan_rotation(w, h, degrees);
    if (p.quarter_turns >= 0) continue;
    const double r = degrees * M_PI / 180;
    const double width = w * std::fabs(std::cos(r)) + h * std::fabs(std::sin(r));
    const double height = w * std::fabs(std::sin(r)) + h * std::fabs(std::cos(r));
    SCOPED_TRACE(testing::Message() << w << " x " << h << " by " << degrees);
    EXPECT_GE(p.width, width - 1.0 / 128);
    EXPECT_LT(p.width - 2, width - 1.0 / 512);
    EXPECT_EQ((p.width - w) % 2, 0);
    EXPECT_GE(p.height, height - 1.0 / 128);
    EXPECT_LT(p.height - 2, height - 1.0 / 512);
    EXPECT_EQ((p.height - h) % 2, 0);
  }
}

TEST(Rotate, TapsFollowTheCubic) {
  for (int phase = 0; phase < 256; ++phase) {
    const img::CubicTaps t = img::cubic_taps(phase);
    const double f = phase / 256.0;
    const double cubic[4] = {(-f * f * f + 2 * f * f - f) / 2, (3 * f * f * f - 5 * f * f + 2) / 2,
                             (-3 * f * f * f + 4 * f * f + f) / 2, (f * f * f - f * f) / 2};
    EXPECT_EQ(t[0] + t[1] + t[2] + t[3], 2048) << phase;
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(t[k], cubic[k] * 2048, 1.5) << phase << " tap " << k;
  }
}

// A turn and its reverse bring a smooth picture back; near a quarter turn the resampled
// rotation agrees with the exact one (which fixes the direction of both).
TEST(Rotate, ResampledTurnsAgreeWithExactOnes) {
  auto smooth = [](std::int32_t x, std::int32_t y) {
    return img::make_pixel(static_cast<int>(128 + 100 * std::sin(x * 0.21 + y * 0.05)),
                           static_cast<int>(128 + 100 * std::cos(y * 0.17)), (x * 3 + y * 2) % 256);
  };
  auto fill = [&](img::TestStore& s) {
    for (std::int32_t y = 0; y < s.store.height; ++y) {
      for (std::int32_t x = 0; x < s.store.width; ++x) s.set(x, y, smooth(x, y));
    }
  };
  img::TestStore round_trip(200, 200, 64, 48);
  fill(round_trip);
  ASSERT_EQ(img::rotate_picture(round_trip.store, 30), platform::Status::kNone);
  ASSERT_EQ(img::rotate_picture(round_trip.store, -30), platform::Status::kNone);
  const std::int32_t dx = (round_trip.store.width - 64) / 2,
                     dy = (round_trip.store.height - 48) / 2;
  for (std::int32_t y = 12; y < 36; ++y) {
    for (std::int32_t x = 16; x < 48; ++x) {
      const Pixel a = round_trip.at(x + dx, y + dy), b = smooth(x, y);
      for (int c = 0; c < 24; c += 8) ASSERT_NEAR(a >> c & 255, b >> c & 255, 2) << x << "," << y;
    }
  }
  for (float near : {89.99f, -90.01f, 180.01f}) {
    img::TestStore exact(64, 64, 20, 14), resampled(64, 64, 20, 14);
    fill(exact);
    fill(resampled);
    ASSERT_EQ(img::rotate_picture(exact.store, std::round(near / 90) * 90),
              platform::Status::kNone);
    ASSERT_EQ(img::rotate_picture(resampled.store, near), platform::Status::kNone);
    ASSERT_EQ(resampled.store.width, exact.store.width) << near;
    ASSERT_EQ(resampled.store.height, exact.store.height) << near;
    for (std::int32_t y = 0; y < exact.store.height; ++y) {
      for (std::int32_t x = 0; x < exact.store.width; ++x) {
        const Pixel a = resampled.at(x, y), b = exact.at(x, y);
        for (int c = 0; c < 24; c += 8) ASSERT_NEAR(a >> c & 255, b >> c & 255, 2) << near;
      }
    }
  }
}

// Refused or empty: the store is untouched, the processed image included.
TEST(Rotate, RefusedOrEmptyChangesNothing) {
  const struct {
    std::int32_t w, h;
    float degrees;
    platform::Status result;
  } cases[] = {
      {30, 30, 45, platform::Status::kSizeTooLarge},  // 43 x 43 in a 40 x 30 store
      {35, 20, 90, platform::Status::kSizeTooLarge},  // 20 x 35
      {40, 30, 1, platform::Status::kSizeTooLarge},   // 42 x 32
      {40, 30, 180, platform::Status::kNone},         // fits: only here does the plane change
      {0, 30, 45, platform::Status::kNone},          {30, 0, 90, platform::Status::kNone},
      {40, 30, 720, platform::Status::kNone},        {40, 30, NAN, platform::Status::kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << " by " << c.degrees);
    img::TestStore s(40, 30, c.w, c.h);
    const std::vector<Pixel> before = s.plane();
    EXPECT_EQ(img::rotate_picture(s.store, c.degrees), c.result);
    const bool turned = c.degrees == 180;
    EXPECT_EQ(s.plane() != before, turned);
    EXPECT_EQ(s.store.width, c.w);
    EXPECT_EQ(s.store.height, c.h);
  }
}

TEST(Crop, KeepsExactlyTheClippedRectangle) {
  const struct {
    img::PixelRect asked, kept;
  } cases[] = {
      {{2, 3, 4, 5}, {2, 3, 4, 5}},
      {{0, 0, 13, 9}, {0, 0, 13, 9}},
      {{-3, -2, 6, 4}, {0, 0, 3, 2}},
      {{10, 7, 50, 50}, {10, 7, 3, 2}},
      {{12, 8, 1, 1}, {12, 8, 1, 1}},
      {{13, 0, 5, 5}, {0, 0, 0, 0}},
      {{0, -5, 5, 5}, {0, 0, 0, 0}},
      {{5, 5, 0, 3}, {0, 0, 0, 0}},
      {{INT32_MAX, 0, INT32_MAX, 1}, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const img::PixelRect a = c.asked;
    SCOPED_TRACE(testing::Message() << a.x << "," << a.y << " " << a.w << " x " << a.h);
    const img::TestStore old(20, 12, 13, 9);
    img::TestStore s(20, 12, 13, 9);
    const bool cropped = img::crop_picture(s.store, a);
    EXPECT_EQ(cropped, c.kept.w > 0);
    if (!cropped) {
      EXPECT_EQ(s.plane(), old.plane());
      continue;
    }
    ASSERT_EQ(s.store.width, c.kept.w);
    ASSERT_EQ(s.store.height, c.kept.h);
    for (std::int32_t y = 0; y < c.kept.h; ++y) {
      for (std::int32_t x = 0; x < c.kept.w; ++x) {
        ASSERT_EQ(s.at(x, y), old.at(c.kept.x + x, c.kept.y + y)) << x << "," << y;
      }
    }
  }
}

// Through zoomed, stretched and scrolled views: the picture pixel picked at a screen point is
// one that the compose averages into the displayed pixel there, and a rectangle's frame holds
// exactly the displayed pixels that show its pixels.
TEST(CropSelection, FollowsTheComposeMapping) {
  const struct {
    float scaling, aspect;
    std::int32_t h_offset, v_offset;
  } views[] = {{16, 1, 0, 0},          {3, 1, -7, 5}, {0.37f, 1.6f, 20, -3},
               {5.5f, 0.5f, -100, 40}, {1, 1, 3, 3},  {0.1f, 1, 0, 0}};
  const std::int32_t w = 40, h = 30;
  const img::PixelRect r{7, 4, 9, 11};
  for (const auto& v : views) {
    SCOPED_TRACE(testing::Message() << "scaling " << v.scaling << " aspect " << v.aspect);
    img::ViewState view;
    view.scaling = v.scaling;
    view.aspect = v.aspect;
    img::update_display_size(view, w, h);
    view.h_offset = v.h_offset;
    view.v_offset = v.v_offset;
    const std::int64_t step_x = img::axis_factors(w, view.display_width).step;
    const std::int64_t step_y = img::axis_factors(h, view.display_height).step;
    const img::ScreenRect frame = img::shown_rect(view, w, h, r);
    bool any_shown = false;
    for (std::int32_t sy = v.v_offset - 2; sy < v.v_offset + view.display_height + 2; ++sy) {
      for (std::int32_t sx = v.h_offset - 2; sx < v.h_offset + view.display_width + 2; ++sx) {
        const std::int64_t dx = sx - v.h_offset, dy = sy - v.v_offset;
        const bool on = dx >= 0 && dx < view.display_width && dy >= 0 && dy < view.display_height;
        std::int32_t px = -1, py = -1;
        ASSERT_EQ(img::picture_pixel_at(view, w, h, sx, sy, false, px, py), on) << sx << "," << sy;
        if (!on) continue;
        ASSERT_TRUE(dx * step_x < 512 * (px + 1) && (dx + 1) * step_x > 512 * px) << sx;
        ASSERT_TRUE(dy * step_y < 512 * (py + 1) && (dy + 1) * step_y > 512 * py) << sy;
        const bool in_rect = px >= r.x && px < r.x + r.w && py >= r.y && py < r.y + r.h;
        const bool in_frame = sx >= frame.x0 && sx <= frame.x1 && sy >= frame.y0 && sy <= frame.y1;
        any_shown = any_shown || in_rect;
        ASSERT_TRUE(!in_rect || in_frame) << sx << "," << sy;
      }
    }
    // Outside the frame nothing of the rectangle shows; inside, every pixel does (or, shrunk
    // to nothing, the frame is a single pixel).
    for (std::int64_t sy = frame.y0; sy <= frame.y1; ++sy) {
      for (std::int64_t sx = frame.x0; sx <= frame.x1; ++sx) {
        std::int32_t px = -1, py = -1;
        ASSERT_TRUE(img::picture_pixel_at(view, w, h, static_cast<std::int32_t>(sx),
                                          static_cast<std::int32_t>(sy), false, px, py));
        const bool in_rect = px >= r.x && px < r.x + r.w && py >= r.y && py < r.y + r.h;
        EXPECT_TRUE(in_rect || (!any_shown && sx == frame.x1 && sy == frame.y1));
      }
    }
  }
}

}  // namespace
