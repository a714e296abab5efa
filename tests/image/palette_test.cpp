#include "image/palette.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "test_picture.h"

namespace img {
namespace {

// The palette stage done the straightforward way: insertion sort, the merge walk restarted
// with the threshold one larger each time, and a full search per pixel.
struct Reference {
  std::vector<std::uint32_t> keys, counts;
};

std::int32_t key_distance(std::uint32_t a, std::uint32_t b) {
  const auto c = [](std::uint32_t k, int s) { return static_cast<std::int32_t>((k >> s) & 63); };
  std::int32_t d = 0;
  for (int s : {12, 6, 0}) d += (c(a, s) - c(b, s)) * (c(a, s) - c(b, s));
  return d;
}

Reference reference_palette(Picture& pic, std::int32_t pal_size) {
  std::vector<std::uint32_t> histogram(1 << 18, 0);
  for (std::int32_t y = 0; y < pic.h; ++y)
    for (std::int32_t x = 0; x < pic.w; ++x) ++histogram[colour_key(pic.at(x, y))];
  std::vector<std::uint32_t> keys, counts;
  for (std::uint32_t key = 0; key < (1u << 18); ++key) {
    if (histogram[key] == 0) continue;
    keys.push_back(key);
    counts.push_back(histogram[key]);
    for (std::size_t i = keys.size() - 1; i > 0 && counts[i] > counts[i - 1]; --i) {
      std::swap(keys[i], keys[i - 1]);
      std::swap(counts[i], counts[i - 1]);
    }
  }
  std::int32_t n = static_cast<std::int32_t>(keys.size());
  if (n > pal_size) {
    for (std::int32_t threshold = 2; n > pal_size; ++threshold) {
      for (std::int32_t i = n - 1; i >= 1 && n > pal_size; --i) {
        for (std::int32_t j = 0; j < i; ++j) {
          if (key_distance(keys[j], keys[i]) >= threshold) continue;
          counts[j] += counts[i];
          for (; j > 0 && counts[j] > counts[j - 1]; --j) {
            std::swap(keys[j], keys[j - 1]);
            std::swap(counts[j], counts[j - 1]);
          }
          keys.erase(keys.begin() + i);
          counts.erase(counts.begin() + i);
          --n;
          break;
        }
      }
    }
  }
  for (std::int32_t y = 0; y < pic.h; ++y) {
    for (std::int32_t x = 0; x < pic.w; ++x) {
      const Pixel q = pic.at(x, y);
      std::int32_t best = 200000;
      Pixel chosen = 0;
      for (std::int32_t j = 0; j < n; ++j) {
        const Pixel c = key_colour(keys[j]);
        const std::int32_t d = (blue_of(c) - blue_of(q)) * (blue_of(c) - blue_of(q)) +
                               (green_of(c) - green_of(q)) * (green_of(c) - green_of(q)) +
                               (red_of(c) - red_of(q)) * (red_of(c) - red_of(q));
        if (d < best) {
          best = d;
          chosen = c;
          if (best == 0) break;
        }
      }
      pic.at(x, y) = chosen;
    }
  }
  return {keys, counts};
}

PaletteList& shared_list() {
  static PaletteList list;  // one workspace for the whole test program, as the program has
  return list;
}

std::vector<std::uint32_t> palette_keys(const PaletteList& list) {
  return {list.keys().begin(), list.keys().begin() + list.count()};
}

// Builds a picture from (colour, repeat) runs laid out in scan order.
Picture picture_of(const std::vector<std::pair<Pixel, int>>& runs, std::int32_t width) {
  std::int32_t total = 0;
  for (const auto& [c, n] : runs) total += n;
  Picture pic(width, (total + width - 1) / width);
  std::int32_t i = 0;
  for (const auto& [c, n] : runs)
    for (int k = 0; k < n; ++k, ++i) pic.at(i % width, i / width) = c;
  for (; i < pic.w * pic.h; ++i) pic.at(i % width, i / width) = runs.front().first;
  return pic;
}

TEST(Palette, KeysPackSixBitsPerComponent) {
  EXPECT_EQ(colour_key(make_pixel(255, 255, 255)), (1u << 18) - 1);
  EXPECT_EQ(colour_key(make_pixel(4, 0, 0)), 1u);        // red in bits 0-5
  EXPECT_EQ(colour_key(make_pixel(0, 4, 0)), 1u << 6);   // green in bits 6-11
  EXPECT_EQ(colour_key(make_pixel(0, 0, 4)), 1u << 12);  // blue in bits 12-17
  EXPECT_EQ(key_colour(colour_key(make_pixel(255, 7, 130))), make_pixel(252, 4, 128));
}

struct PaletteCase {
  const char* name;
  std::vector<std::pair<Pixel, int>> runs;
  std::int32_t pal_size;
  std::vector<Pixel> palette;                 // expected entries, as colours, in order
  std::vector<std::pair<Pixel, Pixel>> maps;  // input colour -> mapped colour
};

TEST(Palette, DescribedCases) {
  const Pixel white = make_pixel(255, 255, 255), c7 = make_pixel(7, 7, 7);
  const Pixel c8 = make_pixel(8, 8, 8), c100 = make_pixel(100, 100, 100);
  const Pixel dark = make_pixel(0, 0, 0), near_dark = make_pixel(4, 0, 0);
  const Pixel mid = make_pixel(100, 100, 100), near_mid = make_pixel(104, 104, 100);
  const std::vector<PaletteCase> cases = {
      {"one colour loses its two low bits",
       {{white, 12}},
       256,
       {make_pixel(252, 252, 252)},
       {{white, make_pixel(252, 252, 252)}}},
      {"7 goes to 8 when 8 is present",
       {{c7, 3}, {c8, 5}},
       256,
       {c8, make_pixel(4, 4, 4)},
       {{c7, c8}, {c8, c8}}},
      {"two colours, Pal size 1: the rarer merges",
       {{c100, 3}, {white, 5}},
       1,
       {make_pixel(252, 252, 252)},
       {{c100, make_pixel(252, 252, 252)}}},
      {"equal counts: the smaller key survives",
       {{white, 4}, {c100, 4}},
       1,
       {c100},
       {{white, c100}, {c100, c100}}},
      {"Pal size 0 is taken as 1", {{white, 4}, {c100, 4}}, 0, {c100}, {{white, c100}}},
      {"Pal size -5 is taken as 1", {{c7, 1}, {c100, 4}}, -5, {c100}, {{c7, c100}}},
      // Threshold 2 merges keys one step apart but not keys at squared distance 2.
      {"one step apart merge first",
       {{dark, 5}, {mid, 4}, {near_dark, 1}, {near_mid, 1}},
       3,
       {dark, mid, near_mid},
       {{near_dark, dark}, {near_mid, near_mid}}},
      {"no merging below Pal size",
       {{dark, 2}, {near_dark, 3}},
       2,
       {near_dark, dark},
       {{dark, dark}, {near_dark, near_dark}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Picture pic = picture_of(c.runs, 1);
    PaletteList& list = shared_list();
    const std::int32_t n = build_and_map_palette(pic.plane(), pic.w, pic.h, c.pal_size, list);
    ASSERT_EQ(n, static_cast<std::int32_t>(c.palette.size()));
    ASSERT_EQ(list.count(), n);
    for (std::int32_t i = 0; i < n; ++i) EXPECT_EQ(key_colour(list.keys()[i]), c.palette[i]);
    Picture original = picture_of(c.runs, 1);
    for (std::int32_t i = 0; i < pic.w * pic.h; ++i) {
      const Pixel in = original.at(i % pic.w, i / pic.w);
      for (const auto& [from, to] : c.maps) {
        if (in == from) {
          EXPECT_EQ(pic.at(i % pic.w, i / pic.w), to) << i;
        }
      }
    }
  }
}

TEST(Palette, CountsFollowMerges) {
  // 5 dark + 1 one step away merge into 6; the picture keeps 7 pixels in all.
  Picture pic = picture_of(
      {{make_pixel(0, 0, 0), 5}, {make_pixel(4, 0, 0), 1}, {make_pixel(200, 0, 0), 1}}, 7);
  PaletteList& list = shared_list();
  ASSERT_EQ(build_and_map_palette(pic.plane(), pic.w, pic.h, 2, list), 2);
  EXPECT_EQ(list.counts()[0], 6u);
  EXPECT_EQ(list.counts()[1], 1u);
  EXPECT_EQ(list.keys()[2], 0u);  // the rest of the list is cleared
  EXPECT_EQ(list.counts()[2], 0u);
}

TEST(Palette, SamePictureSamePaletteAfterOtherRuns) {
  std::mt19937 rng(7);
  Picture first(37, 23);
  for (auto& p : first.px) p = rng() & 0x00FFFFFF;
  Picture copy = first;
  PaletteList& list = shared_list();
  const std::int32_t n1 = build_and_map_palette(first.plane(), first.w, first.h, 40, list);
  const auto keys1 = palette_keys(list);
  Picture other(50, 50, make_pixel(1, 2, 3));
  build_and_map_palette(other.plane(), other.w, other.h, 3, list);
  const std::int32_t n2 = build_and_map_palette(copy.plane(), copy.w, copy.h, 40, list);
  EXPECT_EQ(n1, n2);
  EXPECT_EQ(keys1, palette_keys(list));
  EXPECT_EQ(first.px, copy.px);
}

TEST(Palette, MapsOnlyThePictureRectangle) {
  Picture pic(4, 3, make_pixel(9, 9, 9));
  const Pixel outside = make_pixel(1, 2, 3);
  for (std::int32_t y = 0; y < pic.h; ++y)
    for (std::int32_t x = pic.w; x < pic.stride; ++x) pic.at(x, y) = outside;
  build_and_map_palette(pic.plane(), pic.w, pic.h, 256, shared_list());
  for (std::int32_t y = 0; y < pic.h; ++y) {
    EXPECT_EQ(pic.at(0, y), make_pixel(8, 8, 8));
    EXPECT_EQ(pic.at(pic.w, y), outside);
  }
}

// Compares the stage with the straightforward version on one picture.
void expect_same_as_reference(const Picture& input, std::int32_t pal_size,
                              PaletteList& list = shared_list()) {
  Picture fast = input, slow = input;
  const std::int32_t n = build_and_map_palette(fast.plane(), fast.w, fast.h, pal_size, list);
  const Reference ref = reference_palette(slow, std::max(pal_size, 1));
  ASSERT_EQ(n, static_cast<std::int32_t>(ref.keys.size()));
  ASSERT_EQ(palette_keys(list), ref.keys);
  for (std::int32_t i = 0; i < n; ++i) ASSERT_EQ(list.counts()[i], ref.counts[i]) << i;
  ASSERT_EQ(fast.px, slow.px);
}

// Pictures from a few base colours with small variations: many ties in counts, many keys at
// small distances, colours between keys.
Picture random_picture(std::mt19937& rng, std::int32_t max_side, int bases, int spread) {
  std::uniform_int_distribution<std::int32_t> side(1, max_side);
  Picture pic(side(rng), side(rng));
  std::vector<Pixel> base(static_cast<std::size_t>(bases));
  for (auto& b : base) b = rng() & 0x00FFFFFF;
  for (std::int32_t y = 0; y < pic.h; ++y) {
    for (std::int32_t x = 0; x < pic.w; ++x) {
      const Pixel b = base[rng() % base.size()];
      auto vary = [&](int v) {
        return std::clamp(v + static_cast<int>(rng() % (2 * spread + 1)) - spread, 0, 255);
      };
      pic.at(x, y) = make_pixel(vary(red_of(b)), vary(green_of(b)), vary(blue_of(b)));
    }
  }
  return pic;
}

TEST(Palette, FastEqualsReferenceOnSmallPictures) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 600; ++round) {
    const int bases = 1 + static_cast<int>(rng() % 12);
    const int spread = static_cast<int>(rng() % 24);
    Picture pic = random_picture(rng, 20, bases, spread);
    const std::int32_t pal_size = static_cast<std::int32_t>(rng() % 40) - 3;
    SCOPED_TRACE(testing::Message() << "round " << round << " pal size " << pal_size);
    expect_same_as_reference(pic, pal_size);
  }
}

TEST(Palette, FastEqualsReferenceOnCrowdedPictures) {
  // Hundreds of distinct keys packed close together: long merge walks with entries moving.
  std::mt19937 rng(99);
  for (int round = 0; round < 40; ++round) {
    Picture pic = random_picture(rng, 48, 1 + static_cast<int>(rng() % 4), 30);
    const std::int32_t pal_sizes[] = {1, 2, 16, 100, 256};
    const std::int32_t pal_size = pal_sizes[rng() % 5];
    SCOPED_TRACE(testing::Message() << "round " << round << " pal size " << pal_size);
    expect_same_as_reference(pic, pal_size);
  }
}

TEST(Palette, FastEqualsReferenceOnScatteredColours) {
  // Few colours anywhere in the cube: the threshold has to grow a long way.
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    Picture pic(1 + static_cast<std::int32_t>(rng() % 9), 1 + static_cast<std::int32_t>(rng() % 9));
    for (auto& p : pic.px) p = rng() & 0x00FFFFFF;
    expect_same_as_reference(pic, 1 + static_cast<std::int32_t>(rng() % 6));
  }
}

TEST(Palette, FastEqualsReferenceWithoutMerging) {
  // Every key its own entry: most keys can be served by several entries, searched per pixel.
  std::mt19937 rng(17);
  for (int round = 0; round < 4; ++round) {
    Picture pic(64, 48);
    const int base = static_cast<int>(rng() % 200);
    for (auto& p : pic.px) {
      p = make_pixel(base + static_cast<int>(rng() % 48), base + static_cast<int>(rng() % 48),
                     static_cast<int>(rng() % 256));
    }
    expect_same_as_reference(pic, 1 << 18);
  }
}

TEST(Palette, FullCandidatePoolFallsBackToSearchingThePalette) {
  std::mt19937 rng(23);
  PaletteList small(40);  // room for a few keys' lists only
  ASSERT_TRUE(small.ok());
  for (int round = 0; round < 3; ++round) {
    Picture pic = random_picture(rng, 40, 3, 20);
    expect_same_as_reference(pic, 1 << 18, small);
    expect_same_as_reference(pic, 5, small);
  }
}

}  // namespace
}  // namespace img
