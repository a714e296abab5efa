#include <gtest/gtest.h>

#include <memory>

#include "formats/loader.h"
#include "test_files.h"

namespace formats_test {
namespace {

using platform::Status;

struct Loaded {
  formats::LoadResult result;
  std::unique_ptr<img::ImageStore> store;
};

Loaded load(const Bytes& file, std::int32_t maxh = 16, std::int32_t maxv = 16) {
  Loaded l{{}, std::make_unique<img::ImageStore>()};
  make_store(*l.store, maxh, maxv);
  formats::JpegDecoder jpeg;
  l.result = formats::load_picture_bytes(file, *l.store, jpeg);
  return l;
}

TEST(BmpReader, RowsStridesAndPixelEncodings) {
  struct Case {
    const char* name;
    Bytes file;
    std::int32_t width, height;
    std::vector<img::Pixel> pixels;  // top row first
  };
  // 8 bits: palette of 256 entries (blue, green, red, reserved); index 255 must be usable.
  Bytes pal8(1024, 0);
  pal8[4 * 7 + 0] = 1;
  pal8[4 * 7 + 1] = 2;
  pal8[4 * 7 + 2] = 3;
  pal8[4 * 7 + 3] = 99;  // the reserved byte never reaches the picture
  pal8[4 * 255 + 2] = 200;
  Bytes body8 = pal8;
  // 5 pixels wide: stride 8; bottom row then top row; padding bytes are junk.
  const Bytes rows8 = {7, 255, 0, 7, 255, 9, 9, 9, 255, 7, 7, 7, 0, 9, 9, 9};
  body8.insert(body8.end(), rows8.begin(), rows8.end());
  const img::Pixel c7 = img::make_pixel(3, 2, 1);
  const img::Pixel c255 = img::make_pixel(200, 0, 0);

  // 16 bits, 3 wide: stride 8. 0x7FFF -> 248 each, 0x8000 -> black, 0x001F -> blue 248,
  // 0x03E0 -> green 248, 0x7C00 -> red 248, 0x0421 -> 8, 8, 8.
  const Bytes body16 = {0xFF, 0x7F, 0x00, 0x80, 0x1F, 0x00, 0xEE, 0xEE,
                        0xE0, 0x03, 0x00, 0x7C, 0x21, 0x04, 0xEE, 0xEE};

  // 24 bits, 1 wide: stride 4; the pixel is the first three bytes of each row.
  const Bytes body24 = {10, 20, 30, 0xEE, 40, 50, 60, 0xEE};

  // 32 bits is read as 24: 2 wide gives a 6-byte stride rounded to 8.
  const Bytes body32 = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE};

  const Case cases[] = {
      {"8-bit 5 wide",
       bmp_file(5, 2, 8, body8),
       5,
       2,
       {c255, c7, c7, c7, 0, c7, c255, 0, c7, c255}},
      {"16-bit 3 wide",
       bmp_file(3, 2, 16, body16),
       3,
       2,
       {img::make_pixel(0, 248, 0), img::make_pixel(248, 0, 0), img::make_pixel(8, 8, 8),
        img::make_pixel(248, 248, 248), 0, img::make_pixel(0, 0, 248)}},
      {"24-bit 1 wide",
       bmp_file(1, 2, 24, body24),
       1,
       2,
       {img::make_pixel(60, 50, 40), img::make_pixel(30, 20, 10)}},
      {"32-bit as 24",
       bmp_file(2, 1, 32, body32),
       2,
       1,
       {img::make_pixel(3, 2, 1), img::make_pixel(6, 5, 4)}},
      {"bit depth 1 as 24",
       bmp_file(2, 1, 1, body32),
       2,
       1,
       {img::make_pixel(3, 2, 1), img::make_pixel(6, 5, 4)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded l = load(c.file);
    EXPECT_EQ(l.result.message, Status::kFileLoaded);
    EXPECT_TRUE(l.result.name_taken);
    ASSERT_EQ(l.store->width, c.width);
    ASSERT_EQ(l.store->height, c.height);
    for (std::int32_t y = 0; y < c.height; ++y) {
      for (std::int32_t x = 0; x < c.width; ++x) {
        EXPECT_EQ(l.store->working().at(x, y), c.pixels[y * c.width + x]) << x << "," << y;
      }
    }
    // Pixels beyond the picture are not touched.
    EXPECT_EQ(l.store->working().at(c.width, 0), 0x00ABCDEFu);
  }
}

TEST(BmpReader, IdentificationAndSizeChecks) {
  struct Case {
    const char* name;
    Bytes file;
    Status message;
    bool name_taken;
    std::int32_t width, height;  // the store's size afterwards (it starts at 3 x 4)
  };
  const Bytes one_row(16 * 3, 0);
  const Case cases[] = {
      {"MB", {'M', 'B', 0, 0}, Status::kUnrecognizedFile, false, 3, 4},
      {"BA", {'B', 'A', 0, 0}, Status::kUnrecognizedFile, false, 3, 4},
      {"one byte", {'B'}, Status::kUnrecognizedFile, false, 3, 4},
      {"empty", {}, Status::kUnrecognizedFile, false, 3, 4},
      {"JPEG signature, then junk", {0xFF, 0xD8, 'B', 'M'}, Status::kJpegDecodeError, false, 3, 4},
      {"width = maxh", bmp_file(16, 1, 24, one_row), Status::kFileLoaded, true, 16, 1},
      {"width = maxh + 1", bmp_file(17, 1, 24, one_row), Status::kSizeTooLarge, false, 3, 4},
      {"height = maxv", bmp_file(1, 16, 24, one_row), Status::kFileLoaded, true, 1, 16},
      {"height = maxv + 1", bmp_file(1, 17, 24, one_row), Status::kSizeTooLarge, false, 3, 4},
      {"negative height", bmp_file(2, -2, 24, one_row), Status::kFileLoaded, true, 2, -2},
      {"zero width", bmp_file(0, 5, 24, one_row), Status::kFileLoaded, true, 0, 5},
      {"header cut short", {'B', 'M', 0, 0, 0}, Status::kFileLoaded, true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    img::ImageStore store;
    make_store(store, 16, 16);
    store.width = 3;
    store.height = 4;
    formats::JpegDecoder jpeg;
    const formats::LoadResult r = formats::load_picture_bytes(c.file, store, jpeg);
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(r.name_taken, c.name_taken);
    EXPECT_EQ(store.width, c.width);
    EXPECT_EQ(store.height, c.height);
    if (c.message != Status::kFileLoaded || c.width < 1 || c.height < 1) {
      EXPECT_EQ(store.working().at(0, 0), 0x00ABCDEFu) << "no pixel may be written";
    }
  }
}

TEST(BmpReader, RowsMissingFromATruncatedFileAreBlack) {
  // 2 x 3 at 24 bits: stride 8; the file holds the bottom row and half of the middle one.
  const Bytes body = {1, 1, 1, 2, 2, 2, 0, 0, 3, 3, 3};
  const Loaded l = load(bmp_file(2, 3, 24, body));
  EXPECT_EQ(l.result.message, Status::kFileLoaded);
  const img::Plane p = l.store->working();
  EXPECT_EQ(p.at(0, 2), 0x010101u);
  EXPECT_EQ(p.at(1, 2), 0x020202u);
  EXPECT_EQ(p.at(0, 1), 0x030303u);
  EXPECT_EQ(p.at(1, 1), 0u);
  EXPECT_EQ(p.at(0, 0), 0u);
  EXPECT_EQ(p.at(1, 0), 0u);

  // An 8-bit file cut inside its palette: its rows are missing, so black, although palette
  // entry 0 is not.
  Bytes cut_palette(300, 0x40);
  const Loaded l8 = load(bmp_file(2, 1, 8, cut_palette));
  EXPECT_EQ(l8.store->working().at(0, 0), 0u);
  EXPECT_EQ(l8.store->working().at(1, 0), 0u);

  // A 16-bit pixel of which the file holds one byte of two is black too.
  const Loaded l16 = load(bmp_file(2, 1, 16, {0xFF, 0x7F, 0xFF}));
  EXPECT_EQ(l16.store->working().at(0, 0), 0xF8F8F8u);
  EXPECT_EQ(l16.store->working().at(1, 0), 0u);
}

TEST(Loader, FileThatCannotBeReadIsUnrecognised) {
  TempDir dir;
  img::ImageStore store;
  make_store(store, 8, 8);
  formats::JpegDecoder jpeg;
  EXPECT_EQ(formats::load_picture(dir.file("missing.bmp"), store, jpeg).message,
            Status::kUnrecognizedFile);
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.bmp")));
  EXPECT_EQ(formats::load_picture(dir.path().string(), store, jpeg).message,
            Status::kUnrecognizedFile);

  // A real file through the same entry.
  write_bytes(dir.file("a.bmp"), bmp_file(1, 1, 24, {9, 8, 7, 0}));
  EXPECT_EQ(formats::load_picture(dir.file("a.bmp"), store, jpeg).message, Status::kFileLoaded);
  EXPECT_EQ(store.working().at(0, 0), img::make_pixel(7, 8, 9));
}

}  // namespace
}  // namespace formats_test
