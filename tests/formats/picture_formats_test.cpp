// PNG, GIF and WebP files: decoding against Pillow's, broken and odd files, damage that
// leaves the picture as it was, and the PNG writer's depths read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "formats/save.h"
#include "formats/scratch.h"
#include "test_files.h"

namespace formats_test {
namespace {

using platform::Status;

// The pictures of make_picture_cases.py, made once for the whole test program.
const TempDir& cases() {
  static const TempDir dir;
  static const int made =
      std::system(("/usr/bin/python3 " VELDRAN_SOURCE_DIR "/tests/formats/make_picture_cases.py " +
                   dir.path().string())
                      .c_str());
  EXPECT_EQ(made, 0) << "make_picture_cases.py needs python3 and Pillow (python3-pil)";
  return dir;
}

struct Loaded {
  std::unique_ptr<img::ImageStore> store = std::make_unique<img::ImageStore>();
  Status message = Status::kNone;
};

// Loads `path` into a 256 x 256 store whose working image holds a 5 x 4 marker picture.
Loaded load(const std::string& path) {
  Loaded l;
  make_store(*l.store, 256, 256);
  l.store->width = 5;
  l.store->height = 4;
  formats::JpegDecoder jpeg;
  l.message = formats::load_picture(path, *l.store, jpeg).message;
  return l;
}

void expect_same_picture(const img::ImageStore& a, const img::ImageStore& b) {
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  for (std::int32_t y = 0; y < a.height; ++y) {
    for (std::int32_t x = 0; x < a.width; ++x) {
      ASSERT_EQ(a.working().at(x, y), b.working().at(x, y)) << "at " << x << ", " << y;
    }
  }
}

// A failed load leaves the marker picture and its size exactly as they were.
void expect_marker_kept(const Loaded& l) {
  EXPECT_EQ(l.store->width, 5);
  EXPECT_EQ(l.store->height, 4);
  for (std::int32_t y = 0; y < l.store->maxv; ++y) {
    for (std::int32_t x = 0; x < l.store->maxh; ++x) {
      ASSERT_EQ(l.store->working().at(x, y), 0x00ABCDEFu) << "at " << x << ", " << y;
    }
  }
}

TEST(PictureFormats, RowCompositingMatchesThePlainRule) {
  // Every colour byte at every alpha, one row, converted in place as the WebP reader does.
  std::vector<img::Pixel> row(256 * 256);
  std::vector<img::Pixel> want(row.size());
  for (std::uint32_t a = 0; a < 256; ++a) {
    for (std::uint32_t c = 0; c < 256; ++c) {
      const std::uint32_t r = c, g = 255 - c, b = (c * 7) & 255;
      row[a * 256 + c] = r | (g << 8) | (b << 16) | (a << 24);
      want[a * 256 + c] = formats::pixel_over_black(r, g, b, a);
      ASSERT_EQ(formats::over_black_fast(c, a), formats::over_black(c, a));
    }
  }
  formats::rgba_row_over_black(reinterpret_cast<const std::uint8_t*>(row.data()), row.data(),
                               static_cast<std::int32_t>(row.size()));
  EXPECT_EQ(row, want);
}

TEST(PictureFormats, DecodeAsPillowDoesCompositedOverBlack) {
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(cases().path())) {
    const std::string name = entry.path().filename().string();
    const std::string::size_type dot = name.find(".expected.bmp");
    if (dot == std::string::npos) continue;
    for (const char* ext : {".png", ".gif", ".webp"}) {
      const std::string picture = cases().file(name.substr(0, dot) + ext);
      if (!std::filesystem::exists(picture)) continue;
      SCOPED_TRACE(picture);
      const Loaded got = load(picture);
      const Loaded want = load(entry.path().string());
      EXPECT_EQ(got.message, Status::kFileLoaded);
      ASSERT_EQ(want.message, Status::kFileLoaded);
      expect_same_picture(*got.store, *want.store);
      ++compared;
    }
  }
  EXPECT_EQ(compared, 37);  // every case the script writes
}

TEST(PictureFormats, OddPngFilesGiveTheOutcomeTheirNameSays) {
  const struct {
    const char* prefix;
    Status message;
  } kOutcomes[] = {{"loaded-", Status::kFileLoaded},
                   {"damaged-", Status::kPictureDamaged},
                   {"too_large-", Status::kSizeTooLarge},
                   {"unrecognized-", Status::kUnrecognizedFile}};
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(cases().path() / "odd")) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const Loaded l = load(entry.path().string());
    bool named = false;
    for (const auto& o : kOutcomes) {
      if (name.rfind(o.prefix, 0) != 0) continue;
      named = true;
      EXPECT_EQ(l.message, o.message);
    }
    EXPECT_TRUE(named);
    if (l.message != Status::kFileLoaded) expect_marker_kept(l);
    ++replayed;
  }
  EXPECT_EQ(replayed, 29);
}

TEST(PictureFormats, CutFilesAreDamagedAndKeepThePicture) {
  // (A cut after an animation's first frame leaves that frame whole.)
  for (const char* name : {"rgb8.png", "rgba16_interlaced.png", "still.gif", "see_through.gif",
                           "lossy.webp", "lossless_alpha.webp", "animated.webp"}) {
    const Bytes whole = read_bytes(cases().file(name));
    for (const double part : {0.5, 0.8}) {
      SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(part));
      TempDir dir;
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(
                                                         static_cast<double>(whole.size()) * part));
      write_bytes(dir.file("cut"), cut);
      const Loaded l = load(dir.file("cut"));
      EXPECT_EQ(l.message, Status::kPictureDamaged);
      expect_marker_kept(l);
    }
  }
}

TEST(PictureFormats, SizeIsCheckedBeforeThePixels) {
  for (const char* name : {"rgb8_interlaced.png", "still.gif", "lossy.webp", "animated.webp"}) {
    SCOPED_TRACE(name);
    img::ImageStore store;
    make_store(store, 16, 16);  // every case is wider than 16 pixels
    store.width = 5;
    store.height = 4;
    formats::JpegDecoder jpeg;
    EXPECT_EQ(formats::load_picture(cases().file(name), store, jpeg).message,
              Status::kSizeTooLarge);
    EXPECT_EQ(store.width, 5);
    EXPECT_EQ(store.height, 4);
  }
}

// A picture of colours from the palette keys (6 bits a component), with every tenth pixel
// a colour the first `pal_size` keys lack.
struct Painted {
  std::unique_ptr<img::ImageStore> store = std::make_unique<img::ImageStore>();
  std::vector<std::uint32_t> keys;
};

Painted paint(std::int32_t width, std::int32_t height) {
  Painted p;
  make_store(*p.store, 64, 64);
  p.store->width = width;
  p.store->height = height;
  std::mt19937 random(15);
  for (int k = 0; k < 256; ++k) p.keys.push_back(random() & 0x3FFFF);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint32_t key = p.keys[random() % 40];
      img::Pixel v =
          img::make_pixel(static_cast<int>((key & 63) * 4), static_cast<int>(((key >> 6) & 63) * 4),
                          static_cast<int>(((key >> 12) & 63) * 4));
      if ((x + y) % 10 == 0) v = random() & 0xFFFFFF;
      p.store->working().at(x, y) = v;
    }
  }
  return p;
}

TEST(PngWriter, EachDepthReadsBackAsTheBmpOfThatDepth) {
  const Painted p = paint(37, 23);
  TempDir dir;
  for (const int depth : {24, 16, 8}) {
    SCOPED_TRACE(depth);
    const std::string png = dir.file("out" + std::to_string(depth) + ".PNG");
    const std::string bmp = dir.file("out" + std::to_string(depth) + ".bmp");
    for (const std::string& path : {png, bmp}) {
      ASSERT_EQ(formats::save_picture(path, depth, p.store->working(), 37, 23, p.keys, 30,
                                      p.store->row_buffer()),
                Status::kFileSaved);
    }
    const Bytes file = read_bytes(png);
    ASSERT_GE(file.size(), 33u);
    EXPECT_EQ(file[1], 'P');
    EXPECT_EQ(file[25], depth == 8 ? 3 : 2);  // indexed or RGB, 8 bits a sample
    const std::string text(file.begin(), file.end());
    // sBIT 5, 5, 5 at 16; a 256-entry palette (768 bytes) at 8.
    EXPECT_EQ(text.find(std::string("\0\0\0\3sBIT\5\5\5", 11)) != std::string::npos, depth == 16);
    EXPECT_EQ(text.find(std::string("\0\0\3\0PLTE", 8)) != std::string::npos, depth == 8);
    const Loaded from_png = load(png);
    const Loaded from_bmp = load(bmp);
    EXPECT_EQ(from_png.message, Status::kFileLoaded);
    expect_same_picture(*from_png.store, *from_bmp.store);
  }
}

TEST(PngWriter, NameDecidesTheFormatAndAnEmptyPictureIsNotSaved) {
  const Painted p = paint(3, 2);
  TempDir dir;
  for (const auto& [name, is_png] : {std::pair{"a.png", true},
                                     {"b.Png", true},
                                     {"c.PNG", true},
                                     {"d.png.bmp", false},
                                     {"png", false},
                                     {"e.pn", false}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(formats::names_png(name), is_png);
    ASSERT_EQ(formats::save_picture(dir.file(name), 24, p.store->working(), 3, 2, p.keys, 30,
                                    p.store->row_buffer()),
              Status::kFileSaved);
    EXPECT_EQ(read_bytes(dir.file(name))[0], is_png ? 0x89 : 'B');
  }
  EXPECT_EQ(formats::save_picture(dir.file("empty.png"), 24, p.store->working(), 0, 2, p.keys, 30,
                                  p.store->row_buffer()),
            Status::kFileNotSaved);
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.png")));
}

}  // namespace
}  // namespace formats_test
