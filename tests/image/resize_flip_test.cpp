#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/compose.h"
#include "image/flip.h"
#include "image/resize.h"
#include "test_picture.h"
#include "test_store.h"

namespace {

using img::grey;
using img::Pixel;

// A store holding a w x h picture of random colours (rows are maxh long).
struct Store : img::TestStore {
  using TestStore::TestStore;
  platform::Status resize(std::int32_t w, std::int32_t h) {
    return img::resize_picture(store, w, h, workspace);
  }
};

TEST(Resize, DoublingMakesBlocks) {
  Store s(16, 16, 3, 2);
  const Store before = Store(16, 16, 3, 2);
  ASSERT_EQ(s.resize(6, 4), platform::Status::kNone);
  EXPECT_EQ(s.store.width, 6);
  EXPECT_EQ(s.store.height, 4);
  for (std::int32_t y = 0; y < 4; ++y) {
    for (std::int32_t x = 0; x < 6; ++x) EXPECT_EQ(s.at(x, y), before.at(x / 2, y / 2));
  }
}

TEST(Resize, HalvingAveragesBlocks) {
  Store s(8, 8, 4, 4);
  // 2 x 2 blocks whose averages are whole: each displayed pixel must be exactly that.
  const int levels[4][4] = {
      {10, 20, 255, 255}, {30, 40, 255, 255}, {0, 100, 7, 7}, {200, 100, 7, 7}};
  for (std::int32_t y = 0; y < 4; ++y) {
    for (std::int32_t x = 0; x < 4; ++x) s.set(x, y, grey(levels[y][x]));
  }
  ASSERT_EQ(s.resize(2, 2), platform::Status::kNone);
  EXPECT_EQ(s.at(0, 0), grey(25));
  EXPECT_EQ(s.at(1, 0), grey(255));
  EXPECT_EQ(s.at(0, 1), grey(100));
  EXPECT_EQ(s.at(1, 1), grey(7));
}

TEST(Resize, ShrinkingByThreeLowersWhite) {
  Store s(8, 8, 6, 2);
  for (std::int32_t y = 0; y < 2; ++y) {
    for (std::int32_t x = 0; x < 6; ++x) s.set(x, y, 0xFFFFFFFF);  // byte 3 must not leak
  }
  ASSERT_EQ(s.resize(2, 2), platform::Status::kNone);
  for (std::int32_t y = 0; y < 2; ++y) {
    for (std::int32_t x = 0; x < 2; ++x) EXPECT_EQ(s.at(x, y), grey(254));
  }
}

TEST(Resize, SizeLimitsOfTheStore) {
  const struct {
    std::int32_t w, h;
    platform::Status result;
  } cases[] = {
      {40, 30, platform::Status::kNone},
      {41, 30, platform::Status::kSizeTooLarge},
      {40, 31, platform::Status::kSizeTooLarge},
      {41, 31, platform::Status::kSizeTooLarge},
      {1000000, 2, platform::Status::kSizeTooLarge},
  };
  for (const auto& c : cases) {
    Store s(40, 30, 10, 10);
    const std::vector<Pixel> before = s.plane();
    EXPECT_EQ(s.resize(c.w, c.h), c.result) << c.w << " x " << c.h;
    if (c.result == platform::Status::kSizeTooLarge) {
      EXPECT_EQ(s.store.width, 10);
      EXPECT_EQ(s.store.height, 10);
      EXPECT_EQ(s.plane(), before);
    } else {
      EXPECT_EQ(s.store.width, c.w);
      EXPECT_EQ(s.store.height, c.h);
    }
  }
}

// Below 2 nothing is resampled: the working image keeps its pixels and only the size changes.
TEST(Resize, TinyTargetsOnlyChangeTheSize) {
  const struct { std::int32_t w, h; } cases[] = {{1, 100}, {100, 1}, {0, 0}, {-5, 20}, {1, 1}};
  for (const auto& c : cases) {
    Store s(640, 480, 640, 480);
    const std::vector<Pixel> before = s.plane();
    EXPECT_EQ(s.resize(c.w, c.h), platform::Status::kNone);
    EXPECT_EQ(s.store.width, c.w);
    EXPECT_EQ(s.store.height, c.h);
    EXPECT_EQ(s.plane(), before) << c.w << " x " << c.h;
  }
}

TEST(Resize, EmptyPictureResizesToBlack) {
  Store s(8, 8, 0, 0);
  ASSERT_EQ(s.resize(3, 2), platform::Status::kNone);
  for (std::int32_t y = 0; y < 2; ++y) {
    for (std::int32_t x = 0; x < 3; ++x) EXPECT_EQ(s.at(x, y), 0u);
  }
}

TEST(Resize, MatchesTheComposeRule) {
  Store s(300, 200, 123, 77, 9);
  const Store before(300, 200, 123, 77, 9);
  ASSERT_EQ(s.resize(290, 31), platform::Status::kNone);
  std::vector<Pixel> expected(290 * 31);
  img::compose_reference(before.store.working(), 123, 77, 290, 31, 0, 289, 0, 30,
                         {expected.data(), 290}, 0, 0);
  for (std::int32_t y = 0; y < 31; ++y) {
    for (std::int32_t x = 0; x < 290; ++x) ASSERT_EQ(s.at(x, y), expected[y * 290 + x]);
  }
}

// Mirrors against their definitions, on pictures with odd and even sides and single rows
// and columns; pixels outside the picture are never touched.
TEST(Flip, MirrorsAndRotates) {
  const struct {
    std::int32_t w, h;
  } sizes[] = {{1, 5}, {5, 1}, {1, 1}, {4, 3}, {5, 4}, {7, 7}, {2, 2}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.w << " x " << size.h);
    const Store original(9, 8, size.w, size.h);
    for (int kind = 0; kind < 3; ++kind) {  // X, Y, X then Y
      Store s(9, 8, size.w, size.h);
      if (kind != 1) img::flip_x(s.store);
      if (kind != 0) img::flip_y(s.store);
      for (std::int32_t y = 0; y < 8; ++y) {
        for (std::int32_t x = 0; x < 9; ++x) {
          std::int32_t fx = x, fy = y;
          if (x < size.w && y < size.h) {
            if (kind != 1) fx = size.w - 1 - x;
            if (kind != 0) fy = size.h - 1 - y;
          }
          ASSERT_EQ(s.at(x, y), original.at(fx, fy)) << "kind " << kind << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(Flip, TwiceRestores) {
  Store s(64, 48, 37, 29);
  const std::vector<Pixel> before = s.plane();
  img::flip_x(s.store);
  EXPECT_NE(s.plane(), before);
  img::flip_x(s.store);
  EXPECT_EQ(s.plane(), before);
  img::flip_y(s.store);
  EXPECT_NE(s.plane(), before);
  img::flip_y(s.store);
  EXPECT_EQ(s.plane(), before);
}

TEST(Flip, EmptyPictureIsLeftAlone) {
  for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-1, 3}}) {
    Store s(8, 8, w, h);
    const std::vector<Pixel> before = s.plane();
    img::flip_x(s.store);
    img::flip_y(s.store);
    EXPECT_EQ(s.plane(), before);
  }
}

}  // namespace
