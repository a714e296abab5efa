#include "image/adjust.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "test_picture.h"

namespace img {
namespace {

struct AdjustCase {
  const char* name;
  std::int32_t contrast, brightness, red_add, green_add, blue_add;
  Pixel in, want;
};

TEST(Adjust, DescribedCases) {
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const AdjustCase cases[] = {
      {"all zero leaves the colour", 0, 0, 0, 0, 0, bgr(0, 77, 255), bgr(0, 77, 255)},
      {"contrast 128 doubles distances from 128", 128, 0, 0, 0, 0, bgr(0, 64, 100), bgr(0, 0, 72)},
      {"contrast 128: 200 saturates", 128, 0, 0, 0, 0, bgr(200, 128, 129), bgr(255, 128, 130)},
      {"contrast 1 rounds towards minus infinity", 1, 0, 0, 0, 0, bgr(127, 0, 129),
       bgr(126, 0, 129)},
      {"contrast -128 flattens to 128 + brightness + add", -128, 10, 1, 2, 3, bgr(0, 90, 255),
       bgr(141, 140, 139)},
      {"contrast below -128 inverts around 128", -256, 0, 0, 0, 0, bgr(0, 100, 255),
       bgr(255, 156, 1)},
      {"brightness 50 adds 50, clamped", 0, 50, 0, 0, 0, bgr(0, 200, 220), bgr(50, 250, 255)},
      {"Red add -255 removes red only", 0, 0, -255, 0, 0, bgr(10, 20, 255), bgr(10, 20, 0)},
      {"each add goes to its own component", 0, 0, 1, 2, 3, bgr(100, 100, 100), bgr(103, 102, 101)},
      {"huge values do not overflow", kMax, 0, 0, 0, 0, bgr(127, 128, 129), bgr(0, 128, 255)},
      {"huge negative values do not overflow", kMin, kMin, kMax, 0, kMin, bgr(127, 128, 129),
       bgr(0, 0, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ColourSettings s;
    s.contrast = c.contrast;
    s.brightness = c.brightness;
    s.red_add = c.red_add;
    s.green_add = c.green_add;
    s.blue_add = c.blue_add;
    std::vector<Pixel> px = {c.in, c.in, 0x00123456};  // 2 x 1 picture, then one beyond it
    adjust_colours({px.data(), 3}, 2, 1, s);
    EXPECT_EQ(px[0], c.want);
    EXPECT_EQ(px[1], c.want);
    EXPECT_EQ(px[2], 0x00123456u);
  }
}

}  // namespace
}  // namespace img
