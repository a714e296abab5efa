#include "image/compose.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "test_picture.h"

namespace {

using img::grey;
using img::Picture;
using img::Pixel;

// Worked examples of the resampler: the source is one row of grey levels repeated on every
// row, shown at `display_w` x its own height, so each displayed row must read `tail`
// (the last displayed columns).
struct Example {
  const char* name;
  std::vector<int> row;  // grey levels; empty: `fill_level` on every column
  std::int32_t src_w, src_h, display_w;
  int fill_level;
  int marked_column, marked_level;  // one column of another level, or -1
  std::vector<int> tail;
};

TEST(Compose, WorkedExamples) {
  const Example examples[] = {
      {"two columns shown four wide copy, not blend",
       {10, 250},
       2,
       2,
       4,
       0,
       -1,
       0,
       {10, 10, 250, 250}},
      // step 768, inverse 341: 255 x 768 x 341 >> 18 = 254.
      {"white shrunk from 3 to 2 loses one level", {}, 3, 2, 2, 255, -1, 0, {254, 254}},
      // step 682, inverse 384, pieces (512, 170), (342, 340), (172, 510).
      {"0 100 200 255 shown three wide", {0, 100, 200, 255}, 4, 2, 3, 0, -1, 0, {24, 149, 240}},
      // step 170, inverse 1536: column 297 lies in source column 98, column 298 takes 142/512
      // of column 99 (166), column 299 covers 99.28 to 99.61 (200 x 170 x 1536 >> 18 = 199).
      {"enlarging drifts left", {}, 100, 2, 300, 0, 99, 200, {0, 166, 199}},
      // step 1706, inverse 153: the last column reaches only 312/512 of source column 999,
      // 255 x 312 x 153 >> 18 = 46 (a full column would give 76).
      {"shrinking leaves the end unsampled", {}, 1000, 2, 300, 0, 999, 255, {46}},
      // Reduced exactly 512 times the inverse factor is 1; beyond, it is 0 and all is black.
      {"reduced 512 times keeps white", {}, 1024, 2, 2, 255, -1, 0, {255, 255}},
      {"reduced beyond 512 times is black", {}, 1025, 2, 2, 255, -1, 0, {0, 0}},
      // Enlarged beyond 512 times the step is 0: every interval is empty.
      {"enlarged beyond 512 times is black", {}, 1, 2, 600, 255, -1, 0, {0, 0, 0}},
  };
  img::ComposeWorkspace workspace;
  ASSERT_TRUE(workspace.reserve(2048, 1024));
  for (const Example& ex : examples) {
    SCOPED_TRACE(ex.name);
    Picture src = Picture::with_stride(ex.src_w, ex.src_h, ex.src_w + 5, 0xFFFFFFFF);
    for (std::int32_t y = 0; y < ex.src_h; ++y) {
      for (std::int32_t x = 0; x < ex.src_w; ++x) {
        int level = ex.row.empty() ? ex.fill_level : ex.row[x];
        if (x == ex.marked_column) level = ex.marked_level;
        src.px[std::size_t(y) * src.stride + x] = grey(level);
      }
    }
    for (bool vector : {false, true}) {
      workspace.use_vector_kernels(vector);
      for (int method = 0; method < 2; ++method) {
        Picture out = Picture::with_stride(ex.display_w, ex.src_h, ex.display_w, 0x12345678);
        if (method == 0) {
          img::compose(src.plane(), ex.src_w, ex.src_h, ex.display_w, ex.src_h, 0, ex.display_w - 1,
                       0, ex.src_h - 1, out.plane(), 0, 0, workspace);
        } else {
          img::compose_reference(src.plane(), ex.src_w, ex.src_h, ex.display_w, ex.src_h, 0,
                                 ex.display_w - 1, 0, ex.src_h - 1, out.plane(), 0, 0);
        }
        const std::int32_t first = ex.display_w - static_cast<std::int32_t>(ex.tail.size());
        for (std::int32_t y = 0; y < ex.src_h; ++y) {
          for (std::size_t k = 0; k < ex.tail.size(); ++k) {
            EXPECT_EQ(out.at(first + std::int32_t(k), y), grey(ex.tail[k]))
                << "column " << first + std::int32_t(k) << " row " << y << " method " << method
                << " vector " << vector;
          }
        }
      }
    }
  }
}

TEST(Compose, OriginalSizeIsAnExactCopy) {
  Picture src = Picture::with_stride(7, 5, 9);
  std::mt19937 rng(7);
  for (Pixel& p : src.px) p = rng();  // byte 3 too: it must not reach the output
  img::ComposeWorkspace workspace;
  ASSERT_TRUE(workspace.reserve(16, 16));
  Picture out = Picture::with_stride(7, 5, 7);
  img::compose(src.plane(), 7, 5, 7, 5, 0, 6, 0, 4, out.plane(), 0, 0, workspace);
  for (std::int32_t y = 0; y < 5; ++y) {
    for (std::int32_t x = 0; x < 7; ++x) EXPECT_EQ(out.at(x, y), src.at(x, y) & 0xFFFFFF);
  }
}

TEST(Compose, DisplayBelowTwoWritesNothing) {
  Picture src = Picture::with_stride(4, 4, 4, grey(200));
  img::ComposeWorkspace workspace;
  ASSERT_TRUE(workspace.reserve(16, 16));
  for (auto [w, h] : {std::pair{1, 4}, {4, 1}, {0, 0}, {-3, 5}}) {
    Picture out = Picture::with_stride(4, 4, 4, 0);
    img::compose(src.plane(), 4, 4, w, h, 0, 3, 0, 3, out.plane(), 0, 0, workspace);
    img::compose_reference(src.plane(), 4, 4, w, h, 0, 3, 0, 3, out.plane(), 0, 0);
    EXPECT_EQ(out.px, std::vector<Pixel>(16, 0)) << w << " x " << h;
  }
}

// Composes the same random case with the fast method and the plain rule into targets full of
// a marker, and compares every target pixel: the span must match and nothing else be touched.
void expect_same_as_reference(std::mt19937& rng, img::ComposeWorkspace& workspace,
                              std::int32_t src_w, std::int32_t src_h, std::int32_t display_w,
                              std::int32_t display_h) {
  Picture src = Picture::with_stride(src_w, src_h, src_w + std::int32_t(rng() % 4));
  for (Pixel& p : src.px) p = rng();
  auto pick = [&](std::int32_t n) { return std::int32_t(rng() % std::uint32_t(n)); };
  std::int32_t x0 = 0, x1 = display_w - 1, y0 = 0, y1 = display_h - 1;
  if (rng() % 2) {  // a partial span, as scrolling and clipping ask for
    x0 = pick(display_w);
    x1 = std::min(display_w - 1, x0 + pick(200));
    y0 = pick(display_h);
    y1 = std::min(display_h - 1, y0 + pick(200));
  }
  const std::int32_t off_x = 3 - x0, off_y = 2 - y0;
  const std::int32_t tw = x1 - x0 + 7, th = y1 - y0 + 5;
  Picture fast = Picture::with_stride(tw, th, tw, 0xA5A5A5A5);
  Picture plain = Picture::with_stride(tw, th, tw, 0xA5A5A5A5);
  img::compose(src.plane(), src_w, src_h, display_w, display_h, x0, x1, y0, y1, fast.plane(), off_x,
               off_y, workspace);
  img::compose_reference(src.plane(), src_w, src_h, display_w, display_h, x0, x1, y0, y1,
                         plain.plane(), off_x, off_y);
  ASSERT_EQ(fast.px, plain.px) << src_w << "x" << src_h << " -> " << display_w << "x" << display_h
                               << " span " << x0 << ".." << x1 << ", " << y0 << ".." << y1
                               << " vector " << workspace.vector_kernels();
  // The untouched border proves the offsets were applied.
  EXPECT_EQ(plain.px[0], 0xA5A5A5A5u);
  EXPECT_EQ(plain.at(3, 2) == 0xA5A5A5A5u, false);
}

TEST(Compose, FastMatchesThePlainRule) {
  std::mt19937 rng(2024);
  img::ComposeWorkspace workspace;
  ASSERT_TRUE(workspace.reserve(700, 1000));
  std::uniform_real_distribution<double> log_scale(-4.5, 3.5);
  for (int i = 0; i < 150; ++i) {
    for (bool vector : {false, true}) {
      workspace.use_vector_kernels(vector);
      std::mt19937 case_rng(rng());
      const std::int32_t src_w = 1 + std::int32_t(case_rng() % 300);
      const std::int32_t src_h = 1 + std::int32_t(case_rng() % 200);
      const double scaling = std::exp(log_scale(case_rng));
      const double aspect = std::exp(log_scale(case_rng) / 3);
      const auto display_w = std::int32_t(std::clamp(src_w * scaling * aspect, 2.0, 1000.0));
      const auto display_h = std::int32_t(std::clamp(src_h * scaling, 2.0, 1000.0));
      expect_same_as_reference(case_rng, workspace, src_w, src_h, display_w, display_h);
    }
  }
}

// Shapes at the edges of the method: sources narrower than a window, ratios around 512,
// huge enlargements with a narrow span, and one-pixel spans.
TEST(Compose, FastMatchesThePlainRuleAtTheLimits) {
  struct Shape {
    std::int32_t src_w, src_h, display_w, display_h;
  };
  const Shape shapes[] = {
      {1, 1, 2, 2},       {2, 3, 5, 7},      {3, 3, 2, 2},       {5, 2, 2, 9},
      {7, 7, 3, 3},       {1024, 3, 2, 3},   {1025, 3, 2, 3},    {2, 1100, 2, 2},
      {600, 3, 2, 2},     {3, 600, 3, 2},    {4, 4, 2047, 2049}, {2, 2, 1025, 1023},
      {1, 1, 512, 512},   {1, 1, 513, 513},  {640, 3, 1600, 5},  {513, 3, 512, 3},
      {512, 2, 513, 2},   {9, 9, 9, 9},      {9, 9, 9, 10},      {10, 9, 9, 9},
      {300, 2, 299, 300}, {4096, 2, 600, 2}, {4000, 3, 640, 2},  {2, 2, 4194303, 3},
  };
  std::mt19937 rng(99);
  img::ComposeWorkspace workspace;
  ASSERT_TRUE(workspace.reserve(4096, 300));
  for (const Shape& s : shapes) {
    for (bool vector : {false, true}) {
      workspace.use_vector_kernels(vector);
      for (int repeat = 0; repeat < 3; ++repeat) {
        expect_same_as_reference(rng, workspace, s.src_w, s.src_h, s.display_w, s.display_h);
      }
    }
  }
}

// Without room in the workspace the compose still gives the rule's pixels.
TEST(Compose, UnreservedWorkspaceStillComposes) {
  std::mt19937 rng(5);
  img::ComposeWorkspace none;
  img::ComposeWorkspace small;
  ASSERT_TRUE(small.reserve(8, 8));
  expect_same_as_reference(rng, none, 50, 40, 77, 31);
  expect_same_as_reference(rng, small, 50, 40, 77, 31);
}

TEST(Compose, EmptySourceGivesBlack) {
  Picture out = Picture::with_stride(4, 4, 4, 0x777777);
  img::ComposeWorkspace workspace;
  ASSERT_TRUE(workspace.reserve(8, 8));
  img::compose(img::ConstPlane(), 0, 5, 4, 4, 0, 3, 0, 3, out.plane(), 0, 0, workspace);
  EXPECT_EQ(out.px, std::vector<Pixel>(16, 0));
}

}  // namespace
