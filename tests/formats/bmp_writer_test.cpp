#include "formats/bmp_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <memory>

#include "formats/loader.h"
#include "test_files.h"

namespace formats_test {
namespace {

using platform::Status;

struct Picture {
  img::ImageStore store;
  Picture(std::int32_t w, std::int32_t h, std::initializer_list<img::Pixel> pixels) {
    make_store(store, 64, 64);
    store.width = w;
    store.height = h;
    auto it = pixels.begin();
    for (std::int32_t y = 0; y < h; ++y) {
      for (std::int32_t x = 0; x < w; ++x) {
        store.working().at(x, y) = it != pixels.end() ? *it++ : img::make_pixel(x, y, x ^ y);
      }
    }
  }
  Status save(const std::string& path, int depth, std::span<const std::uint32_t> keys = {},
              std::int32_t pal_size = 0) {
    return formats::save_bmp(path, depth, store.working(), store.width, store.height, keys,
                             pal_size, store.row_buffer());
  }
};

TEST(BmpWriter, HeaderIsByteExact) {
  TempDir dir;
  Picture pic(1, 1, {img::make_pixel(30, 20, 10)});
  ASSERT_EQ(pic.save(dir.file("a.bmp"), 24), Status::kFileSaved);
  const Bytes expected = {'B',  'M',  58, 0, 0,    0,    0, 0, 0, 0, 54, 0, 0, 0,  // file header
                          40,   0,    0,  0, 1,    0,    0, 0, 1, 0, 0,  0, 1, 0,  // w, h, planes
                          24,   0,    0,  0, 0,    0,    4, 0, 0, 0,               // bits, size
                          0xC4, 0x0E, 0,  0, 0xC4, 0x0E, 0, 0,  // 3780 pixels per metre
                          0,    0,    0,  0, 0,    0,    0, 0,  // colours
                          10,   20,   30, 0};                   // pixel row
  EXPECT_EQ(read_bytes(dir.file("a.bmp")), expected);
}

TEST(BmpWriter, SizesStridesAndDepthFields) {
  struct Case {
    const char* name;
    int depth;
    std::int32_t w, h;
    std::size_t file_size;  // 0: an empty picture, not saved
    std::uint32_t pixel_offset, image_size;
  };
  const Case cases[] = {
      {"24-bit 1x1", 24, 1, 1, 58, 54, 4},
      {"8-bit 2x2", 8, 2, 2, 1086, 1078, 8},
      {"16-bit 3x2", 16, 3, 2, 70, 54, 16},
      {"24-bit 5x3", 24, 5, 3, 54 + 48, 54, 48},
      {"24-bit empty", 24, 0, 3, 0, 0, 0},
      {"8-bit empty", 8, 4, 0, 0, 0, 0},
      {"most negative height", 24, 1, INT32_MIN, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Picture pic(0, 0, {});
    pic.store.width = c.w;
    pic.store.height = c.h;
    const std::vector<std::uint32_t> keys(256, 0);
    if (c.file_size == 0) {
      EXPECT_EQ(pic.save(dir.file("a.bmp"), c.depth, keys, 16), Status::kFileNotSaved);
      EXPECT_FALSE(std::filesystem::exists(dir.file("a.bmp")));
      continue;
    }
    ASSERT_EQ(pic.save(dir.file("a.bmp"), c.depth, keys, 16), Status::kFileSaved);
    const Bytes b = read_bytes(dir.file("a.bmp"));
    ASSERT_EQ(b.size(), c.file_size);
    EXPECT_EQ(get_le(b, 2, 4), c.file_size);
    EXPECT_EQ(get_le(b, 10, 4), c.pixel_offset);
    EXPECT_EQ(get_le(b, 28, 2), static_cast<std::uint32_t>(c.depth));
    EXPECT_EQ(get_le(b, 34, 4), c.image_size);
  }
}

// The header's size fields for every side a header can name are the products modulo 2^32,
// computed without overflow (the sanitizer build checks).
TEST(BmpWriter, HeaderOfExtremeSizesWraps) {
  std::uint8_t header[54];
  formats::encode_bmp_header(24, INT32_MAX, INT32_MIN, header);
  const std::uint64_t stride = (3ull * INT32_MAX + 3) & ~3ull;
  const auto image_size = static_cast<std::uint32_t>(0x80000000ull * stride);
  EXPECT_EQ(get_le(Bytes(header, header + 54), 34, 4), image_size);
  EXPECT_EQ(get_le(Bytes(header, header + 54), 22, 4), 0x80000000u);
}

TEST(BmpWriter, SixteenBitsRoundTripThroughTheReader) {
  TempDir dir;
  Picture pic(
      3, 1, {img::make_pixel(255, 255, 255), img::make_pixel(8, 7, 255), img::make_pixel(0, 0, 0)});
  ASSERT_EQ(pic.save(dir.file("w.bmp"), 16), Status::kFileSaved);
  const Bytes b = read_bytes(dir.file("w.bmp"));
  ASSERT_EQ(b.size(), 54u + 8u);  // stride 8 for 3 pixels
  EXPECT_EQ(get_le(b, 54, 2), 0x7FFFu);
  EXPECT_EQ(get_le(b, 56, 2), (1u << 10) | 31u);  // red 8 -> 1, green 7 -> 0, blue 255 -> 31

  img::ImageStore back;
  make_store(back, 8, 8);
  formats::JpegDecoder jpeg;
  ASSERT_EQ(formats::load_picture(dir.file("w.bmp"), back, jpeg).message, Status::kFileLoaded);
  EXPECT_EQ(back.working().at(0, 0), img::make_pixel(248, 248, 248));
  EXPECT_EQ(back.working().at(1, 0), img::make_pixel(8, 0, 248));
}

TEST(BmpWriter, EightBitPaletteAndIndexSearch) {
  // Keys hold blue in bits 12-17, green 6-11, red 0-5.
  auto key = [](int r, int g, int b) {
    return static_cast<std::uint32_t>((b << 12) | (g << 6) | r);
  };
  std::vector<std::uint32_t> keys(256, key(1, 1, 1));
  keys[0] = key(63, 0, 0);
  keys[1] = key(0, 63, 0);
  keys[2] = key(0, 63, 0);  // duplicate: the first one wins
  keys[3] = key(10, 20, 30);
  keys[255] = key(0, 0, 63);
  const img::Pixel red = img::make_pixel(255, 1, 2);      // key(63, 0, 0)
  const img::Pixel green = img::make_pixel(0, 252, 3);    // key(0, 63, 0)
  const img::Pixel other = img::make_pixel(41, 82, 123);  // key(10, 20, 30)
  const img::Pixel blue = img::make_pixel(0, 0, 255);     // key(0, 0, 63): entry 255 only

  struct Case {
    std::int32_t pal_size;
    std::vector<std::uint8_t> indexes;  // for red, green, other, blue
  };
  const Case cases[] = {
      {256, {0, 1, 3, 255}}, {4, {0, 1, 3, 4}},  {3, {0, 1, 3, 3}},      {1, {0, 1, 1, 1}},
      {0, {0, 0, 0, 0}},     {-5, {0, 0, 0, 0}}, {1000, {0, 1, 3, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pal_size);
    TempDir dir;
    Picture pic(4, 1, {red, green, other, blue});
    ASSERT_EQ(pic.save(dir.file("p.bmp"), 8, keys, c.pal_size), Status::kFileSaved);
    const Bytes b = read_bytes(dir.file("p.bmp"));
    ASSERT_EQ(b.size(), 1078u + 4u);
    EXPECT_EQ(Bytes(b.begin() + 1078, b.end()), c.indexes);
    // Entry 3: blue 30, green 20, red 10, each times 4; all 256 entries are written.
    EXPECT_EQ(Bytes(b.begin() + 54 + 12, b.begin() + 54 + 16), (Bytes{120, 80, 40, 0}));
    EXPECT_EQ(Bytes(b.begin() + 54 + 1020, b.begin() + 54 + 1024), (Bytes{252, 0, 0, 0}));
    EXPECT_EQ(Bytes(b.begin() + 54 + 40, b.begin() + 54 + 44), (Bytes{4, 4, 4, 0}));
  }
}

// A multipalette picture: the table in blocks of k, every zone's indexes in its palette's
// block, and the file reads back as the same pixels.
TEST(BmpWriter, EightBitMultipaletteLayout) {
  TempDir dir;
  Picture pic(23, 13, {});
  for (std::int32_t y = 0; y < 13; ++y)
    for (std::int32_t x = 0; x < 23; ++x)
      pic.store.working().at(x, y) = img::make_pixel(x * 11, y * 19, (x * y) % 256);
  img::ColourSettings s;
  s.use_palette = s.multipalette = true;
  s.pal_size = 5;
  s.palettes = 3;
  s.zone_width = 8;
  s.zone_height = 4;
  img::Multipalette stage;
  ASSERT_TRUE(stage.reserve(23, 13));
  stage.build_and_map(pic.store.working(), 23, 13, s);
  const img::ZonedPalettes zones = stage.result();
  ASSERT_EQ(formats::save_bmp(dir.file("m.bmp"), 8, pic.store.working(), 23, 13, {}, 0,
                              pic.store.row_buffer(), {}, &zones),
            Status::kFileSaved);
  const Bytes b = read_bytes(dir.file("m.bmp"));
  ASSERT_EQ(b.size(), 1078u + 13u * 24u);
  for (std::size_t e = 0; e < 256; ++e) {
    const std::uint32_t key = zones.table[e];
    EXPECT_EQ(Bytes(b.begin() + 54 + 4 * e, b.begin() + 58 + 4 * e),
              (Bytes{static_cast<std::uint8_t>((key >> 12) * 4),
                     static_cast<std::uint8_t>(((key >> 6) & 63) * 4),
                     static_cast<std::uint8_t>((key & 63) * 4), 0}));
  }
  for (std::int32_t y = 0; y < 13; ++y) {
    for (std::int32_t x = 0; x < 23; ++x) {
      const std::uint8_t index = b[1078 + static_cast<std::size_t>(12 - y) * 24 + x];
      const std::int32_t palette = zones.zone_palettes[(y / 4) * 3 + x / 8];
      EXPECT_EQ(index / 5, palette) << x << "," << y;
      EXPECT_LT(index % 5, zones.palette_sizes[palette]);
    }
  }
  img::ImageStore back;
  make_store(back, 64, 64);
  formats::JpegDecoder jpeg;
  ASSERT_EQ(formats::load_picture(dir.file("m.bmp"), back, jpeg).message, Status::kFileLoaded);
  for (std::int32_t y = 0; y < 13; ++y)
    for (std::int32_t x = 0; x < 23; ++x)
      ASSERT_EQ(back.working().at(x, y), pic.store.working().at(x, y)) << x << "," << y;

  // Zones that do not cover their layout are not used: the single table's rule applies.
  img::ZonedPalettes short_zones = zones;
  short_zones.zone_palettes = short_zones.zone_palettes.first(2);
  ASSERT_EQ(formats::save_bmp(dir.file("s.bmp"), 8, pic.store.working(), 23, 13, {}, 0,
                              pic.store.row_buffer(), {}, &short_zones),
            Status::kFileSaved);
  EXPECT_EQ(read_bytes(dir.file("s.bmp"))[1078], 0);
}

TEST(BmpWriter, ReplacesLongerFileAndLeavesNoTemporaryFile) {
  TempDir dir;
  write_bytes(dir.file("a.bmp"), Bytes(5000, 0x55));
  Picture pic(1, 1, {0});
  ASSERT_EQ(pic.save(dir.file("a.bmp"), 24), Status::kFileSaved);
  EXPECT_EQ(read_bytes(dir.file("a.bmp")).size(), 58u);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(BmpWriter, FailedSaveReportsItAndKeepsTheOldFile) {
  TempDir dir;
  Picture pic(64, 64, {});
  // A folder that does not exist: nothing can be created.
  EXPECT_EQ(pic.save(dir.file("missing/a.bmp"), 24), Status::kFileNotSaved);
  // A name taken by a folder: the temporary file is written but cannot replace it.
  std::filesystem::create_directory(dir.file("taken.bmp"));
  EXPECT_EQ(pic.save(dir.file("taken.bmp"), 24), Status::kFileNotSaved);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.bmp")));

  // A write that fails half way (file size limit): the old file keeps every byte.
  const Bytes old(3000, 0x77);
  write_bytes(dir.file("old.bmp"), old);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status m = pic.save(dir.file("old.bmp"), 24);  // 12 KiB of rows
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous_handler);
  EXPECT_EQ(m, Status::kFileNotSaved);
  EXPECT_EQ(read_bytes(dir.file("old.bmp")), old);

  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 2) << "only old.bmp and the folder taken.bmp remain";
}

}  // namespace
}  // namespace formats_test
