#include "image/present.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using img::Pixel;

struct Expected {
  Pixel pixel;
  std::uint16_t depth16, depth15;
  std::uint8_t depth8;
};

// The framebuffer pixels each depth must produce for a pixel word.
TEST(Present, ConvertsEachDepth) {
  const Expected cases[] = {
      {0xFFFFFF, 0xFFFF, 0x7FFF, 0xFF}, {0x000000, 0x0000, 0x0000, 0x00},
      {0xFF0000, 0xF800, 0x7C00, 0xC0}, {0x00FF00, 0x07E0, 0x03E0, 0x3C},
      {0x0000FF, 0x001F, 0x001F, 0x03}, {0x808080, 0x8410, 0x4210, 0xA2},
      {0x070707, 0x0020, 0x0000, 0x00},  // only green keeps bit 2, and only at 16 bits
      {0x070307, 0x0000, 0x0000, 0x00},  // below the kept bits nothing survives
      {0x3F0F3F, 0x3867, 0x1C27, 0x00},  // at 8 bits red, blue < 0x40 and green < 0x10 vanish
      {0x080408, 0x0821, 0x0401, 0x00},
  };
  for (const Expected& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pixel);
    std::uint16_t out16 = 0xABCD, out15 = 0xABCD;
    std::uint8_t out8 = 0x5A;
    img::present(&c.pixel, &out16, 1, 16);
    img::present(&c.pixel, &out15, 1, 15);
    img::present(&c.pixel, &out8, 1, 8);
    EXPECT_EQ(out16, c.depth16);
    EXPECT_EQ(out15, c.depth15);
    EXPECT_EQ(out8, c.depth8);
  }
}

// Every pixel word against the bit fields each depth keeps: the top 5/6/5, 5/5/5 and 2/4/2
// bits of red, green and blue.
TEST(Present, EveryColourMatchesItsBitFields) {
  constexpr int kChunk = 1 << 16;
  std::vector<Pixel> back(kChunk);
  std::vector<std::uint16_t> out16(kChunk), out15(kChunk);
  std::vector<std::uint8_t> out8(kChunk);
  for (Pixel base = 0; base < (1u << 24); base += kChunk) {
    for (int k = 0; k < kChunk; ++k) back[k] = base + static_cast<Pixel>(k);
    img::present(back.data(), out16.data(), kChunk, 16);
    img::present(back.data(), out15.data(), kChunk, 15);
    img::present(back.data(), out8.data(), kChunk, 8);
    for (int k = 0; k < kChunk; ++k) {
      const unsigned r = back[k] >> 16, g = (back[k] >> 8) & 0xFF, b = back[k] & 0xFF;
      ASSERT_EQ(out16[k], ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)) << back[k];
      ASSERT_EQ(out15[k], ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)) << back[k];
      ASSERT_EQ(out8[k], ((r >> 6) << 6) | ((g >> 4) << 2) | (b >> 6)) << back[k];
    }
  }
}

// The 8-bit index names the entry of the 8-bit screen palette that shows the colour.
TEST(Present, EightBitIndexMatchesThePalette) {
  const Pixel grey = 0x808080;
  std::uint8_t index = 0;
  img::present(&grey, &index, 1, 8);
  ASSERT_EQ(index, 0xA2);
  EXPECT_EQ((index >> 6) * 85, 170);         // red
  EXPECT_EQ(((index >> 2) & 15) * 17, 136);  // green
  EXPECT_EQ((index & 3) * 85, 170);          // blue
}

TEST(Present, DepthsAboveSixteenCopyWords) {
  const std::vector<Pixel> back = {0x123456, 0xFFFFFF, 0, 0xABCDEF, 0x00FF00};
  for (int depth : {17, 24, 32}) {
    std::vector<Pixel> fb(back.size(), 0xDEADBEEF);
    img::present(back.data(), fb.data(), static_cast<std::int64_t>(back.size()), depth);
    EXPECT_EQ(fb, back) << depth;
  }
}

TEST(Present, OtherDepthsWriteNothing) {
  const std::vector<Pixel> back(16, 0xFFFFFF);
  for (int depth : {-1, 0, 1, 4, 7, 9, 12, 14}) {
    std::vector<std::uint8_t> fb(back.size() * 4, 0x5A);
    img::present(back.data(), fb.data(), static_cast<std::int64_t>(back.size()), depth);
    EXPECT_EQ(fb, std::vector<std::uint8_t>(back.size() * 4, 0x5A)) << depth;
  }
}

// A framebuffer with padding after each row gets the same pixels and keeps its padding.
TEST(Present, PitchedRowsKeepTheirPadding) {
  constexpr int kWidth = 3, kHeight = 2, kPitch = 10;  // 6 bytes of pixels, 4 of padding
  const Pixel back[kWidth * kHeight] = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x000000};
  std::uint8_t fb[kPitch * kHeight];
  std::memset(fb, 0x5A, sizeof fb);
  img::present_rows(back, kWidth, kHeight, fb, kPitch, 16);
  const std::uint16_t expected[kWidth * kHeight] = {0xFFFF, 0xF800, 0x07E0, 0x001F, 0x8410, 0x0000};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint16_t got;
      std::memcpy(&got, fb + y * kPitch + x * 2, 2);
      EXPECT_EQ(got, expected[y * kWidth + x]) << x << "," << y;
    }
    for (int pad = kWidth * 2; pad < kPitch; ++pad) EXPECT_EQ(fb[y * kPitch + pad], 0x5A);
  }
}

}  // namespace
