#include "image/reduce.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "test_picture.h"

namespace img {
namespace {

// The reduction done the straightforward way, one pixel and one candidate at a time.
struct ReferenceReduction {
  std::int32_t step[3];  // blue, green, red
  std::int32_t h = 0;
  int last_candidate = 7;

  explicit ReferenceReduction(const ColourSettings& s) {
    const std::int64_t m = s.intensity_bit ? 2 : 1;
    last_candidate = s.intensity_bit ? 15 : 7;
    const std::int32_t levels[3] = {s.blue_levels, s.green_levels, s.red_levels};
    for (int c = 0; c < 3; ++c) {
      const std::int64_t n = levels[c];
      std::int64_t st = n > 1 ? (255 / (m * n - 1)) * m : 510;
      step[c] = static_cast<std::int32_t>(std::max<std::int64_t>(st, 1));
    }
    h = step[1] / 2;
  }

  void quantise(std::int32_t v[3]) const {
    std::int32_t floor[3], chosen[3] = {0, 0, 0};
    for (int c = 0; c < 3; ++c) floor[c] = (v[c] / step[c]) * step[c];
    std::int32_t best = 200000;
    for (int k = 0; k <= last_candidate; ++k) {
      std::int32_t cand[3];
      std::int32_t d = 0;
      for (int c = 0; c < 3; ++c) {
        cand[c] = floor[c];
        if (k & (1 << c)) cand[c] += step[c];
        if (cand[c] > 255) cand[c] = floor[c];
        if (k & 8) cand[c] += h;
        d += (v[c] - cand[c]) * (v[c] - cand[c]);
      }
      if (d < best) {
        best = d;
        std::copy(cand, cand + 3, chosen);
      }
    }
    for (int c = 0; c < 3; ++c) v[c] = std::min(chosen[c], 255);
  }
};

void reference_reduce(Picture& pic, const ColourSettings& s) {
  auto comp = [](Pixel p, int c) { return static_cast<std::int32_t>((p >> (8 * c)) & 0xFF); };
  auto put = [](const std::int32_t v[3]) { return bgr(v[0], v[1], v[2]); };
  auto spread = [&](std::int32_t x, std::int32_t y, int c, std::int32_t e) {
    const struct { int dx, dy, weight; } shares[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
    for (const auto& sh : shares) {
      const std::int32_t nx = x + sh.dx, ny = y + sh.dy;
      if (nx < 0 || nx >= pic.w || ny >= pic.h) continue;
      Pixel& n = pic.at(nx, ny);
      const std::int32_t v = std::clamp(comp(n, c) + ((sh.weight * e) >> 4), 0, 255);
      n = (n & ~(Pixel{0xFF} << (8 * c))) | (static_cast<Pixel>(v) << (8 * c));
    }
  };
  const bool diffusion = s.dithering && s.floyd_steinberg;
  if (s.greyscale) {
    const std::int32_t levels = std::max({s.red_levels, s.green_levels, s.blue_levels});
    std::int32_t q = levels < 2 ? 1 : std::max<std::int32_t>(255 / (levels - 1), 1);
    std::int32_t t2 = q / 2, t1 = s.dithering ? q / 4 : t2, t3 = s.dithering ? t2 + q / 4 : t2;
    auto quantise = [&](std::int32_t v, std::int32_t t) {
      std::int32_t y = ((v + t) / q) * q;
      return y > 255 ? y - q : y;
    };
    for (std::int32_t y = 0; y < pic.h; ++y) {
      for (std::int32_t x = 0; x < pic.w; ++x) {
        Pixel& p = pic.at(x, y);
        const std::int32_t g = (30 * comp(p, 0) + 149 * comp(p, 1) + 77 * comp(p, 2)) / 256;
        if (levels < 2) {
          p = 0;
        } else if (diffusion) {
          p = (p & ~Pixel{0xFF}) | static_cast<Pixel>(g);
        } else {
          p = grey(quantise(g, ((x + y) % 2 == 1) ? t1 : t3));
        }
      }
    }
    if (levels < 2 || !diffusion) return;
    for (std::int32_t y = 0; y < pic.h; ++y) {
      for (std::int32_t x = 0; x < pic.w; ++x) {
        const std::int32_t v = comp(pic.at(x, y), 0);
        const std::int32_t out = quantise(v, t2);
        pic.at(x, y) = grey(out);
        spread(x, y, 0, v - out);
      }
    }
    return;
  }
  const ReferenceReduction r(s);
  const std::int32_t d = r.h / 2;
  for (std::int32_t y = 0; y < pic.h; ++y) {
    for (std::int32_t x = 0; x < pic.w; ++x) {
      std::int32_t v[3], before[3];
      for (int c = 0; c < 3; ++c) before[c] = v[c] = comp(pic.at(x, y), c);
      if (s.dithering && !s.floyd_steinberg) {
        for (int c = 0; c < 3; ++c) v[c] = std::clamp(v[c] - d + ((x + y) % 2 ? r.h : 0), 0, 255);
      }
      r.quantise(v);
      pic.at(x, y) = put(v);
      if (diffusion) {
        for (int c = 0; c < 3; ++c) spread(x, y, c, before[c] - v[c]);
      }
    }
  }
}

Picture random_picture(std::mt19937& rng, std::int32_t w, std::int32_t h) {
  Picture pic(w, h);
  for (auto& p : pic.px) p = rng() & 0x00FFFFFF;
  return pic;
}

TEST(Reduce, MatchesReferenceForEveryMethodAndLevelCount) {
  const std::int32_t level_counts[] = {-3, 0, 1, 2, 3, 4, 6, 8, 14, 17, 21, 64, 128, 129, 256, 300};
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    ColourSettings s;
    s.red_levels = level_counts[rng() % std::size(level_counts)];
    s.green_levels = level_counts[rng() % std::size(level_counts)];
    s.blue_levels = level_counts[rng() % std::size(level_counts)];
    s.intensity_bit = rng() % 2;
    s.greyscale = rng() % 4 == 0;
    s.dithering = rng() % 3 != 0;
    s.floyd_steinberg = rng() % 2;
    Picture fast = random_picture(rng, 1 + static_cast<std::int32_t>(rng() % 13),
                                  1 + static_cast<std::int32_t>(rng() % 9));
    Picture slow = fast;
    reduce_colours(fast.plane(), fast.w, fast.h, s);
    reference_reduce(slow, s);
    ASSERT_EQ(fast.px, slow.px) << "round " << round << " levels " << s.red_levels << ","
                                << s.green_levels << "," << s.blue_levels << " intensity "
                                << s.intensity_bit << " grey " << s.greyscale << " dither "
                                << s.dithering << " fs " << s.floyd_steinberg;
  }
}

TEST(Reduce, LatticeSteps) {
  struct Case {
    std::int32_t r, g, b;
    bool intensity;
    ColourLattice want;
  };
  const Case cases[] = {
      {256, 256, 256, false, {1, 1, 1, 0, false}},
      {2, 2, 2, false, {255, 255, 255, 127, false}},
      {2, 2, 2, true, {170, 170, 170, 85, true}},
      {256, 1, 256, false, {1, 510, 1, 255, false}},
      {256, 256, 256, true, {1, 1, 1, 0, true}},  // 255 / 511 is 0: raised to 1
      {14, 14, 14, true, {18, 18, 18, 9, true}},
      {1000000, 2147483647, 7, true, {38, 1, 1, 0, true}},
  };
  for (const auto& c : cases) {
    ColourSettings s;
    s.red_levels = c.r;
    s.green_levels = c.g;
    s.blue_levels = c.b;
    s.intensity_bit = c.intensity;
    const ColourLattice l = colour_lattice(s);
    EXPECT_EQ(l.blue_step, c.want.blue_step) << c.r << " " << c.g << " " << c.b;
    EXPECT_EQ(l.green_step, c.want.green_step);
    EXPECT_EQ(l.red_step, c.want.red_step);
    EXPECT_EQ(l.intensity, c.want.intensity);
  }
}

struct PixelCase {
  const char* name;
  ColourSettings s;
  std::vector<std::vector<Pixel>> in, want;  // rows
};

ColourSettings levels(std::int32_t r, std::int32_t g, std::int32_t b, bool intensity = false) {
  ColourSettings s;
  s.adjust_depth = true;
  s.red_levels = r;
  s.green_levels = g;
  s.blue_levels = b;
  s.intensity_bit = intensity;
  return s;
}
ColourSettings ordered(ColourSettings s) {
  s.dithering = true;
  return s;
}
ColourSettings diffusion(ColourSettings s) {
  s.dithering = s.floyd_steinberg = true;
  return s;
}
ColourSettings grey_levels(std::int32_t n) {
  ColourSettings s = levels(0, n, 1);  // L is the largest count
  s.greyscale = true;
  return s;
}

TEST(Reduce, DescribedCases) {
  // With 86 levels the step is 3; with 18 levels it is 15 (lattice 0, 15, 30, 45 ...).
  // Blue 14 -> 15 leaves an error of -1, blue 16 -> 15 an error of +1. A neighbour at 38
  // shows a share of -1 (37 -> 30, else 45); one at 37 shows a share of +1 (38 -> 45).
  const ColourSettings fs18 = diffusion(levels(18, 18, 18));
  const std::vector<PixelCase> cases = {
      {"2 levels: 127 down, 128 up",
       levels(2, 2, 2),
       {{grey(127), grey(128), bgr(0, 127, 255)}},
       {{grey(0), grey(255), bgr(0, 0, 255)}}},
      {"2 levels with intensity bit",
       levels(2, 2, 2, true),
       {{grey(100), grey(200), grey(0), grey(255)}},
       {{grey(85), grey(170), grey(0), grey(255)}}},
      {"intensity candidate above 255 is stored as 255",
       levels(14, 14, 14, true),
       {{bgr(255, 9, 9), bgr(9, 255, 9)}},
       {{bgr(255, 9, 9), bgr(9, 255, 9)}}},
      {"zero steps: intensity bit with 256 levels changes nothing",
       levels(256, 256, 256, true),
       {{bgr(1, 2, 3), bgr(254, 128, 77)}},
       {{bgr(1, 2, 3), bgr(254, 128, 77)}}},
      {"Green 1: green becomes 0",
       levels(256, 1, 256),
       {{bgr(10, 200, 30), bgr(0, 255, 255)}},
       {{bgr(10, 0, 30), bgr(0, 0, 255)}}},
      {"Green 1 ordered: -127 on even cells, +128 on odd cells",
       ordered(levels(256, 1, 256)),
       {{bgr(200, 200, 100), bgr(200, 200, 100)}, {bgr(100, 0, 127), bgr(126, 0, 127)}},
       {{bgr(73, 0, 0), bgr(255, 0, 228)}, {bgr(228, 0, 255), bgr(0, 0, 0)}}},
      {"error -1 shares -1 to the right",
       fs18,
       {{bgr(14, 0, 0), bgr(38, 0, 0)}},
       {{bgr(15, 0, 0), bgr(30, 0, 0)}}},
      {"error +1 shares 0 to the right",
       fs18,
       {{bgr(16, 0, 0), bgr(37, 0, 0)}},
       {{bgr(15, 0, 0), bgr(30, 0, 0)}}},
      {"one pixel wide: error -1 shares -1 downwards",
       fs18,
       {{bgr(14, 0, 0)}, {bgr(38, 0, 0)}},
       {{bgr(15, 0, 0)}, {bgr(30, 0, 0)}}},
      {"one pixel wide: error +1 shares 0 downwards",
       fs18,
       {{bgr(16, 0, 0)}, {bgr(37, 0, 0)}},
       {{bgr(15, 0, 0)}, {bgr(30, 0, 0)}}},
      {"error -1 shares -1 below left",
       fs18,
       {{bgr(15, 0, 0), bgr(0, 14, 0)}, {bgr(0, 38, 0), bgr(0, 30, 0)}},
       {{bgr(15, 0, 0), bgr(0, 15, 0)}, {bgr(0, 30, 0), bgr(0, 30, 0)}}},
      {"error -1 shares -1 below right",
       fs18,
       {{bgr(0, 0, 14), bgr(0, 0, 16)}, {bgr(0, 0, 16), bgr(0, 0, 38)}},
       {{bgr(0, 0, 15), bgr(0, 0, 15)}, {bgr(0, 0, 15), bgr(0, 0, 30)}}},
      {"error +1 shares 0 below right",
       fs18,
       {{bgr(0, 0, 16), bgr(0, 0, 15)}, {bgr(0, 0, 15), bgr(0, 0, 37)}},
       {{bgr(0, 0, 15), bgr(0, 0, 15)}, {bgr(0, 0, 15), bgr(0, 0, 30)}}},
      {"grey L = 2: 0 below 128, 255 from 128",
       grey_levels(2),
       {{grey(127), grey(128), bgr(255, 0, 0)}},
       {{grey(0), grey(255), grey(0)}}},
      {"grey L = 64: white becomes 252",
       grey_levels(64),
       {{grey(255), grey(1), grey(2)}},
       {{grey(252), grey(0), grey(4)}}},
      {"grey ordered L = 2: flat 128 becomes a checkerboard",
       ordered(grey_levels(2)),
       {{grey(128), grey(128), grey(128)}, {grey(128), grey(128), grey(128)}},
       {{grey(255), grey(0), grey(255)}, {grey(0), grey(255), grey(0)}}},
      {"grey L below 2: black",
       grey_levels(1),
       {{grey(255), bgr(3, 200, 9)}},
       {{grey(0), grey(0)}}},
      {"grey diffusion one pixel wide sends error down only",
       diffusion(grey_levels(2)),
       {{grey(100)}, {grey(100)}, {grey(100)}},
       // 100 -> 0 (error 100, 31 down); 131 -> 255 (error -124, -39 down); 61 -> 0.
       {{grey(0)}, {grey(255)}, {grey(0)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::int32_t h = static_cast<std::int32_t>(c.in.size());
    const std::int32_t w = static_cast<std::int32_t>(c.in[0].size());
    Picture pic(w, h, 0x00ABCDEF);
    for (std::int32_t y = 0; y < h; ++y)
      for (std::int32_t x = 0; x < w; ++x) pic.at(x, y) = c.in[y][x];
    reduce_colours(pic.plane(), w, h, c.s);
    for (std::int32_t y = 0; y < h; ++y) {
      for (std::int32_t x = 0; x < w; ++x) EXPECT_EQ(pic.at(x, y), c.want[y][x]) << x << "," << y;
      EXPECT_EQ(pic.at(w, y), 0x00ABCDEFu);  // beyond the picture: untouched
    }
  }
}

TEST(Reduce, AllLevelsKeepThePicture) {
  std::mt19937 rng(3);
  Picture pic = random_picture(rng, 31, 17);
  const Picture original = pic;
  for (const ColourSettings& s :
       {levels(256, 256, 256), ordered(levels(256, 256, 256)), diffusion(levels(256, 256, 256))}) {
    reduce_colours(pic.plane(), pic.w, pic.h, s);
    EXPECT_EQ(pic.px, original.px);
  }
}

}  // namespace
}  // namespace img
