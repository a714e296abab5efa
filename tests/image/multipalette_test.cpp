#include "image/multipalette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/loader.h"
#include "image/multipalette_kernels.h"
#include "image/palette.h"
#include "test_picture.h"

namespace img {
namespace {

// A picture with the smooth gradients, edges and noise of a photograph.
Picture photo_like(std::int32_t w, std::int32_t h, unsigned seed) {
  Picture pic(w, h);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const double u = x / 9.0, v = y / 7.0;
      const bool edge = x * 3 + y * 2 > w * 2;
      auto level = [&](double base, double a, double b) {
        const int c = static_cast<int>(base + 60 * std::sin(u * a + v * b)) + noise(rng);
        return std::clamp(c + (edge ? 70 : 0), 0, 255);
      };
      pic.at(x, y) = make_pixel(level(120, 0.7, 0.3), level(90, 0.2, 0.9), level(60, 1.1, -0.4));
    }
  }
  return pic;
}

// A multipalette run and copies of its result.
struct Outcome {
  explicit Outcome(Picture p) : pic(std::move(p)) {}
  Picture pic;
  std::int32_t colours = 0;
  ZoneLayout layout;
  std::vector<std::uint32_t> table;
  std::vector<std::uint16_t> sizes;
  std::vector<std::uint8_t> zones;
};

ColourSettings settings(std::int32_t k, std::int32_t n, std::int32_t zw, std::int32_t zh) {
  ColourSettings s;
  s.use_palette = s.multipalette = true;
  s.pal_size = k;
  s.palettes = n;
  s.zone_width = zw;
  s.zone_height = zh;
  return s;
}

Outcome run(Multipalette& stage, Picture pic, const ColourSettings& s) {
  Outcome r(std::move(pic));
  r.colours = stage.build_and_map(r.pic.plane(), r.pic.w, r.pic.h, s);
  const ZonedPalettes z = stage.result();
  r.layout = z.layout;
  r.table.assign(z.table.begin(), z.table.end());
  r.sizes.assign(z.palette_sizes.begin(), z.palette_sizes.end());
  r.zones.assign(z.zone_palettes.begin(), z.zone_palettes.end());
  return r;
}

Outcome run(Picture pic, const ColourSettings& s, int threads = 2) {
  Multipalette stage;
  EXPECT_TRUE(stage.reserve(pic.w, pic.h));
  stage.set_threads(threads);
  return run(stage, std::move(pic), s);
}

std::int32_t squared(std::int32_t v) {
  return v * v;
}

std::int32_t distance(Pixel a, Pixel b) {
  return squared(red_of(a) - red_of(b)) + squared(green_of(a) - green_of(b)) +
         squared(blue_of(a) - blue_of(b));
}

std::uint64_t total_error(Picture& a, Picture& b) {
  std::uint64_t e = 0;
  for (std::int32_t y = 0; y < a.h; ++y)
    for (std::int32_t x = 0; x < a.w; ++x)
      e += static_cast<std::uint64_t>(distance(a.at(x, y), b.at(x, y)));
  return e;
}

// The rule written out plainly: each pixel of `before` becomes the first of the nearest
// colours of its zone's palette, as the result's table lists them.
void expect_plain_mapping(Picture& before, Outcome& r) {
  const ZoneLayout& l = r.layout;
  ASSERT_EQ(r.zones.size(), static_cast<std::size_t>(l.zones_across) * l.zones_down);
  std::int32_t colours = 0;
  for (std::int32_t p = 0; p < l.palettes; ++p) {
    ASSERT_LE(r.sizes[p], l.colours);
    colours += r.sizes[p];
    for (std::int32_t c = r.sizes[p]; c < l.colours; ++c) EXPECT_EQ(r.table[p * l.colours + c], 0u);
  }
  EXPECT_EQ(colours, r.colours);
  for (std::int32_t y = 0; y < before.h; ++y) {
    for (std::int32_t x = 0; x < before.w; ++x) {
      const std::int32_t p = r.zones[(y / l.zone_height) * l.zones_across + x / l.zone_width];
      ASSERT_LT(p, l.palettes);
      ASSERT_GT(r.sizes[p], 0);
      Pixel best = 0;
      std::int32_t best_distance = 1 << 30;
      for (std::int32_t c = 0; c < r.sizes[p]; ++c) {
        const Pixel colour = key_colour(r.table[p * l.colours + c]);
        if (distance(before.at(x, y), colour) < best_distance) {
          best_distance = distance(before.at(x, y), colour);
          best = colour;
        }
      }
      ASSERT_EQ(r.pic.at(x, y), best) << x << "," << y;
    }
  }
}

TEST(Multipalette, LayoutTakesTheSettingsWithinTheirLimits) {
  struct Case {
    std::int32_t k, n, zw, zh, w, h;
    ZoneLayout expected;  // palettes, colours, zone width and height, zones across and down
  };
  const Case cases[] = {
      {16, 16, 8, 8, 100, 50, {16, 16, 8, 8, 13, 7}},
      {16, 17, 8, 8, 16, 16, {16, 16, 8, 8, 2, 2}},      // 17 x 16 > 256
      {100, 5, 4, 4, 8, 8, {2, 100, 4, 4, 2, 2}},        // 2 x 100 fits
      {300, 2, 4, 4, 8, 8, {1, 256, 4, 4, 2, 2}},        // k above 256
      {0, 0, 0, -3, 5, 3, {1, 1, 1, 1, 5, 3}},           // below 1 counts as 1
      {4, 4, 1000, 1000, 30, 20, {4, 4, 30, 20, 1, 1}},  // a zone larger than the picture
      {4, -2, 30, 1, 30, 20, {1, 4, 30, 1, 1, 20}},      // rows
  };
  for (const Case& c : cases) {
    const ZoneLayout l = zone_layout(c.w, c.h, settings(c.k, c.n, c.zw, c.zh));
    EXPECT_EQ(l.palettes, c.expected.palettes);
    EXPECT_EQ(l.colours, c.expected.colours);
    EXPECT_EQ(l.zone_width, c.expected.zone_width);
    EXPECT_EQ(l.zone_height, c.expected.zone_height);
    EXPECT_EQ(l.zones_across, c.expected.zones_across);
    EXPECT_EQ(l.zones_down, c.expected.zones_down);
  }
}

TEST(Multipalette, EveryPixelTakesTheNearestColourOfItsZonesPalette) {
  struct Case {
    const char* name;
    std::int32_t w, h, k, n, zw, zh;
  };
  const Case cases[] = {
      {"8x8 zones cut at both edges", 45, 31, 4, 4, 8, 8},
      {"n x k above 256", 40, 24, 100, 5, 8, 8},
      {"one pixel per zone", 13, 11, 2, 8, 1, 1},
      {"rows", 37, 20, 16, 2, 37, 1},
      {"columns", 20, 9, 3, 3, 1, 9},
      {"one colour per palette", 24, 16, 1, 16, 4, 4},
      {"one zone larger than the picture", 30, 20, 16, 4, 99, 99},
      {"one palette", 32, 24, 8, 1, 8, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture before = photo_like(c.w, c.h, 7);
    Outcome r = run(before, settings(c.k, c.n, c.zw, c.zh));
    EXPECT_EQ(r.layout.zones_across,
              zone_layout(c.w, c.h, settings(c.k, c.n, c.zw, c.zh)).zones_across);
    expect_plain_mapping(before, r);
  }
}

// Zones whose colours fit their palettes keep them: each pixel takes the key colour nearest
// to its own colour.
TEST(Multipalette, ColoursThatFitKeepTheirKeys) {
  const Pixel left[] = {0x102030, 0xF0E0D0, 0x30C040, 0x808080};
  const Pixel right[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF};
  Picture before(24, 10);
  for (std::int32_t y = 0; y < before.h; ++y)
    for (std::int32_t x = 0; x < before.w; ++x)
      before.at(x, y) = (x < 12 ? left : right)[(x * 7 + y * 3) % 4];
  auto key_level = [](int v) { return std::min((v + 2) & ~3, 252); };
  for (const ColourSettings& s : {settings(4, 2, 12, 10), settings(8, 1, 24, 10)}) {
    Outcome r = run(before, s);
    for (std::int32_t y = 0; y < before.h; ++y) {
      for (std::int32_t x = 0; x < before.w; ++x) {
        const Pixel p = before.at(x, y);
        ASSERT_EQ(r.pic.at(x, y),
                  make_pixel(key_level(red_of(p)), key_level(green_of(p)), key_level(blue_of(p))));
      }
    }
  }
}

// With one palette the stage does at least as well as the single palette's merging.
TEST(Multipalette, OnePaletteDoesAtLeastAsWellAsTheSinglePalette) {
  Picture photo(160, 120);
  ImageStore store;
  std::string error;
  ASSERT_TRUE(store.allocate(640, 480, error));
  auto jpeg = std::make_unique<formats::JpegDecoder>();
  formats::load_picture(std::string(VELDRAN_SOURCE_DIR) + "/samples/p03_640x480_420.jpg", store,
                        *jpeg);
  ASSERT_EQ(store.width, 640);
  for (std::int32_t y = 0; y < photo.h; ++y)
    for (std::int32_t x = 0; x < photo.w; ++x)
      photo.at(x, y) = store.working().at(x + 300, y + 200);
  Picture few(40, 30);
  for (std::int32_t y = 0; y < few.h; ++y)
    for (std::int32_t x = 0; x < few.w; ++x) few.at(x, y) = make_pixel(x / 8 * 50, y / 6 * 40, 7);
  struct Case {
    const char* name;
    Picture pic;
    std::int32_t k;
  };
  const Case cases[] = {{"photograph, 16", photo, 16},   {"photograph, 64", photo, 64},
                        {"photograph, 256", photo, 256}, {"synthetic, 4", photo_like(64, 48, 3), 4},
                        {"few colours, 25", few, 25},    {"few colours, 12", few, 12}};
  auto single = std::make_unique<PaletteList>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture before = c.pic, by_single = c.pic;
    Outcome r = run(before, settings(c.k, 1, 8, 8));
    build_and_map_palette(by_single.plane(), by_single.w, by_single.h, c.k, *single);
    EXPECT_LE(total_error(before, r.pic), total_error(before, by_single));
  }
}

TEST(Multipalette, SameResultOnEveryRunAndThreadCount) {
  const ColourSettings s = settings(16, 8, 8, 8);
  Multipalette stage;
  ASSERT_TRUE(stage.reserve(80, 64));
  const Outcome first = run(stage, photo_like(80, 64, 11), s);
  run(stage, photo_like(70, 50, 12), settings(4, 4, 16, 16));  // another picture in between
  const Outcome again = run(stage, photo_like(80, 64, 11), s);
  const Outcome one_thread = run(photo_like(80, 64, 11), s, 1);
  for (const Outcome* other : {&again, &one_thread}) {
    EXPECT_EQ(other->pic.px, first.pic.px);
    EXPECT_EQ(other->table, first.table);
    EXPECT_EQ(other->zones, first.zones);
    EXPECT_EQ(other->sizes, first.sizes);
  }
}

TEST(Multipalette, UnreservedStageOrEmptyPictureChangesNothing) {
  Picture pic = photo_like(20, 10, 5);
  const Picture before = pic;
  Multipalette unreserved;
  EXPECT_EQ(unreserved.build_and_map(pic.plane(), pic.w, pic.h, settings(4, 2, 4, 4)), 0);
  Multipalette stage;
  ASSERT_TRUE(stage.reserve(20, 10));
  EXPECT_EQ(stage.build_and_map(pic.plane(), 0, 10, settings(4, 2, 4, 4)), 0);
  EXPECT_EQ(stage.result().zone_palettes.size(), 0u);
  EXPECT_EQ(pic.px, before.px);
  EXPECT_FALSE(stage.reserve(0, 5));
}

// The kernels against the distances written out, on random colours and palettes.
TEST(Multipalette, KernelsMatchThePlainRule) {
  using namespace multipalette;
  std::mt19937 rng(9);
  auto byte = [&rng] { return static_cast<std::int32_t>(rng() & 0xFF); };
  for (const Kernels* kernels : {&multipalette::kernels(), &plain_kernels()}) {
    for (std::int32_t count : {1, 7, 8, 9, 16, 45, 64}) {
      Colours c;
      c.count = 1 + static_cast<std::int32_t>(rng() % 40);
      for (std::int32_t j = 0; j < c.count; ++j) c.set(j, byte(), byte(), byte());
      if (count > 9) c.set(c.count - 1, c.r[0], c.g[0], c.b[0]);  // equal colours: lower index
      std::vector<Pixel> px(static_cast<std::size_t>(count) + 8);
      std::vector<std::uint32_t> weight(px.size());
      std::vector<std::int32_t> r(px.size()), g(px.size()), b(px.size());
      for (std::size_t i = 0; i < px.size(); ++i) {
        px[i] = make_pixel(byte(), byte(), byte());
        weight[i] = 1 + rng() % (i % 2 == 0 ? 300 : 100000);
        r[i] = red_of(px[i]);
        g[i] = green_of(px[i]);
        b[i] = blue_of(px[i]);
      }
      std::uint64_t weighted = 0, plain = 0;
      std::vector<std::uint8_t> index(static_cast<std::size_t>(count));
      std::vector<std::int32_t> cells(px.size());
      kernels->nearest_cells(r.data(), g.data(), b.data(), count, c, cells.data());
      const std::uint64_t mapped = kernels->nearest_pixels(px.data(), count, c, index.data());
      for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t best = 0;
        for (std::int32_t j = 1; j < c.count; ++j) {
          if (distance(px[i], make_pixel(c.r[j], c.g[j], c.b[j])) <
              distance(px[i], make_pixel(c.r[best], c.g[best], c.b[best])))
            best = j;
        }
        const std::int32_t d = distance(px[i], make_pixel(c.r[best], c.g[best], c.b[best]));
        EXPECT_EQ(index[i], best);
        EXPECT_EQ(cells[i], d * 256 + best);
        plain += static_cast<std::uint64_t>(d);
        weighted += static_cast<std::uint64_t>(d) * weight[i];
      }
      EXPECT_EQ(mapped, plain);
      std::int32_t to_each[kMaxColours];
      kernels->distances(px[0], c, to_each);
      for (std::int32_t j = 0; j < c.count; ++j) {
        EXPECT_EQ(to_each[j], distance(px[0], make_pixel(c.r[j], c.g[j], c.b[j])));
      }
      const PointArrays points{px.data(), weight.data()};
      EXPECT_EQ(kernels->weighted_error(points, 0, count, c, ~0ull, false), weighted);
      EXPECT_GT(kernels->weighted_error(points, 0, count, c, weighted / 2, false), weighted / 2);
      std::fill(weight.begin(), weight.end(), kNarrowWeight / 64);
      std::uint64_t narrow = 0;
      for (std::int32_t i = 0; i < count; ++i)
        narrow += static_cast<std::uint64_t>(cells[i] >> 8) * weight[i];
      EXPECT_EQ(kernels->weighted_error(points, 0, count, c, ~0ull, true), narrow);
    }
  }
}

}  // namespace
}  // namespace img
