#include "core/prefetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/browse.h"
#include "formats/jpeg_builder.h"
#include "formats/loader.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace {

using formats_test::JpegBuilder;
using platform::Status;

std::string text(const JpegBuilder& j) {
  return {j.bytes.begin(), j.bytes.end()};
}

// A 16 x 8 colour picture with its own tables (flat quantisation `q`); `turned` adds an Exif
// block saying it is stored turned (orientation 6).
std::string colour_jpeg(int q, int dc, bool turned = false) {
  JpegBuilder j;
  if (turned) {
    j.raw({0xFF, 0xE1, 0,    34,   'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
           1,    0,    0x12, 0x01, 3,   0,   1,   0,   0, 0, 6,   0,   0,  0, 0, 0, 0, 0});
  }
  j.dqt({{0, JpegBuilder::flat_quant(q)}});
  j.sof0(16, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}});
  j.standard_tables();
  j.sos({1, 2, 3});
  for (const int d : {dc, 3, -4, 5, -3, 4}) j.block({d, {{1, 2}}});
  j.eoi();
  return text(j);
}

// A grey picture that defines no tables: it decodes with those the decoder holds.
std::string abbreviated_jpeg(int size, int dc) {
  JpegBuilder j;
  j.sof0(size, size, {{1, 0x11, 0}});
  j.sos({1});
  for (int b = 0; b < (size / 8) * (size / 8); ++b) j.block({b == 0 ? dc : 1, {{2, -1}}});
  j.eoi();
  return text(j);
}

// New tables, then "JPEG decode error": with `frame`, a 24 x 24 picture whose scan ends
// after three blocks (the rest shows what the working image held); without, a scan before
// any frame.
std::string damaged_jpeg(int q, bool frame) {
  JpegBuilder j;
  j.dqt({{0, JpegBuilder::flat_quant(q)}});
  j.standard_tables();
  if (frame) j.sof0(24, 24, {{1, 0x11, 0}});
  j.sos({1});
  if (frame) {
    for (const int d : {9, -7, 5}) j.block({d, {{3, 4}}});
    j.flush_bits();
  }
  j.eoi();
  return text(j);
}

// An image store and a JPEG decoder, as the App holds them.
struct Side {
  std::unique_ptr<img::ImageStore> store = std::make_unique<img::ImageStore>();
  std::unique_ptr<formats::JpegDecoder> jpeg = std::make_unique<formats::JpegDecoder>();
  Side() {
    std::string error;
    EXPECT_TRUE(store->allocate(32, 32, error)) << error;
  }
  formats::LoadResult load(const std::string& name) {
    return formats::load_picture(name, *store, *jpeg);
  }
};

bool same_plane(img::Plane a, img::Plane b) {
  return std::memcmp(a.row(0), b.row(0), 32 * 32 * sizeof(img::Pixel)) == 0;
}

enum class Change { kNone, kTouch, kRewrite, kReplace, kOtherTables, kOtherWay };

struct Step {
  bool forward;
  Change change;  // made after the preparation ended, before the key
  bool taken;     // whether the prepared picture is used
  const char* current;
  Status message;
};

// Each step prepares the next picture, changes the folder, then steps as F3 or F4 do through
// the prepared picture; a second store and decoder load every file directly. Both planes,
// the size, the message and the decoder's tables must agree after every step.
TEST(Prefetch, PreparedPicturesEqualDirectLoads) {
  support::TempDir dir;
  dir.write("a.bmp", support::bmp24(20, 12, [](int x, int y) { return 0x030201u * (x + 9 * y); }));
  dir.write("b.bmp", support::bmp24(10, 14, [](int x, int y) { return 0x010307u * (x ^ y); }));
  dir.write("c.jpg", colour_jpeg(1, 20, true));
  dir.write("d.jpg", abbreviated_jpeg(8, -30));
  dir.write("e.jpg", colour_jpeg(3, 40));
  dir.write("f.jpg", abbreviated_jpeg(16, 25));
  dir.write("g.jpg", "not a picture");
  dir.write("h.jpg", damaged_jpeg(5, true));
  std::filesystem::create_directory(dir.path() / "other");
  dir.write("other/bad.jpg", damaged_jpeg(9, false));

  const auto later = [&](const char* name, std::chrono::seconds by) {
    const auto t = std::filesystem::last_write_time(dir.path() / name);
    std::filesystem::last_write_time(dir.path() / name, t + by);
  };
  Side main, direct;
  const auto change = [&](Change c, const std::string& next) {
    switch (c) {
      case Change::kNone:
      case Change::kOtherWay:  // the other direction was prepared
        break;
      case Change::kTouch:
        later(next.c_str(), std::chrono::seconds(1));
        break;
      case Change::kRewrite:  // same inode and size
        dir.write(next, next == "f.jpg" ? abbreviated_jpeg(16, -25) : colour_jpeg(3, -40));
        later(next.c_str(), std::chrono::seconds(1));
        break;
      case Change::kReplace: {  // same size and time, another inode
        dir.write("new", colour_jpeg(2, 60));
        std::filesystem::last_write_time(dir.path() / "new",
                                         std::filesystem::last_write_time(dir.path() / next));
        std::filesystem::rename(dir.path() / "new", dir.path() / next);
        break;
      }
      case Change::kOtherTables:  // a failed load between the preparation and the key
        EXPECT_EQ(main.load("other/bad.jpg").message, Status::kJpegDecodeError);
        EXPECT_EQ(direct.load("other/bad.jpg").message, Status::kJpegDecodeError);
        break;
    }
  };

  core::Prefetcher prefetcher;
  ASSERT_TRUE(prefetcher.start(32, 32, true));
  std::string current = "a.bmp";
  ASSERT_EQ(main.load(current).message, Status::kFileLoaded);
  direct.load(current);

  const Step steps[] = {
      {true, Change::kNone, true, "b.bmp", Status::kFileLoaded},
      {true, Change::kNone, true, "c.jpg", Status::kFileLoaded},  // turned upright
      {true, Change::kNone, true, "d.jpg", Status::kFileLoaded},  // c's tables
      {true, Change::kNone, true, "e.jpg", Status::kFileLoaded},
      {true, Change::kNone, true, "f.jpg", Status::kFileLoaded},  // e's tables
      {false, Change::kReplace, false, "e.jpg", Status::kFileLoaded},
      {false, Change::kOtherTables, false, "d.jpg", Status::kFileLoaded},
      {true, Change::kTouch, false, "e.jpg", Status::kFileLoaded},
      {true, Change::kRewrite, false, "f.jpg", Status::kFileLoaded},
      {false, Change::kOtherWay, false, "e.jpg", Status::kFileLoaded},  // h failed there
      {true, Change::kNone, true, "f.jpg", Status::kFileLoaded},
      {true, Change::kNone, false, "f.jpg", Status::kJpegDecodeError},  // past g to h
      {false, Change::kNone, true, "e.jpg", Status::kFileLoaded},
      {false, Change::kNone, true, "d.jpg", Status::kFileLoaded},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.forward ? "F4 to " : "F3 to ") + s.current);
    const bool way = s.change == Change::kOtherWay ? !s.forward : s.forward;
    prefetcher.request(current, way, main.jpeg->tables());
    // A name the step cannot have waits for its preparation and takes nothing.
    EXPECT_FALSE(prefetcher.take(current, way, "", *main.store, *main.jpeg));
    const std::vector<std::string> names =
        core::names_beyond(core::folder_listing(), current, s.forward);
    change(s.change, names.front());
    bool taken = false;
    formats::LoadResult r, expected;
    for (const std::string& name : names) {
      const auto prepared = prefetcher.take(current, s.forward, name, *main.store, *main.jpeg);
      taken = prepared.has_value();
      r = taken ? *prepared : main.load(name);
      expected = direct.load(name);
      if (r.message == Status::kUnrecognizedFile) continue;
      if (r.name_taken) current = name;
      break;
    }
    EXPECT_EQ(taken, s.taken);
    EXPECT_EQ(current, s.current);
    EXPECT_EQ(r.message, s.message);
    EXPECT_EQ(r.message, expected.message);
    EXPECT_EQ(r.name_taken, expected.name_taken);
    EXPECT_EQ(main.store->width, direct.store->width);
    EXPECT_EQ(main.store->height, direct.store->height);
    EXPECT_TRUE(same_plane(main.store->working(), direct.store->working()));
    EXPECT_TRUE(same_plane(main.store->processed(), direct.store->processed()));
    EXPECT_TRUE(core::same_tables(main.jpeg->tables(), direct.jpeg->tables()));
  }
}

}  // namespace
