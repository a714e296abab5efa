// Cross-check against libjpeg's own decoder: files made by cjpeg in every sampling, grey,
// with restart intervals, odd sizes and qualities 50 to 100, decoded here and by djpeg with
// the integer transform and plain (replicating) upsampling. The transforms differ, so the
// check is a tolerance: mean absolute difference per component below 1.5.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "formats/loader.h"
#include "jpeg_tools.h"
#include "reference_decoder.h"
#include "test_files.h"

namespace formats_test {
namespace {

struct Raster {
  int width = 0, height = 0, channels = 0;
  Bytes data;
};

// Reads a binary PGM or PPM as djpeg writes it.
bool read_pnm(const std::string& path, Raster& out) {
  const Bytes b = read_bytes(path);
  std::size_t at = 0;
  auto token = [&]() {
    while (at < b.size() && std::isspace(b[at])) ++at;
    std::string t;
    while (at < b.size() && !std::isspace(b[at])) t += static_cast<char>(b[at++]);
    return t;
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") return false;
  out.channels = magic == "P6" ? 3 : 1;
  out.width = std::stoi(token());
  out.height = std::stoi(token());
  token();  // maximum value
  ++at;
  out.data.assign(b.begin() + static_cast<std::ptrdiff_t>(at), b.end());
  return out.data.size() == static_cast<std::size_t>(out.width) * out.height * out.channels;
}

TEST(JpegCrossCheck, AgreesWithLibjpegWithinTolerance) {
  if (!tools_available({"cjpeg", "djpeg"}))
    GTEST_SKIP() << "cjpeg/djpeg (libjpeg-turbo-progs) not installed";
  struct Case {
    int width, height;
    std::string options;
  };
  const Case cases[] = {
      {64, 48, "-sample 1x1 -quality 90"},
      {64, 48, "-sample 2x1 -quality 90"},
      {64, 48, "-sample 1x2 -quality 90"},
      {64, 48, "-sample 2x2 -quality 90"},
      {64, 48, "-grayscale -quality 90"},
      {33, 17, "-sample 2x2 -quality 50"},
      {17, 9, "-sample 2x2 -quality 75"},
      {101, 67, "-sample 2x1 -quality 100"},
      {1, 1, "-sample 2x2 -quality 80"},
      {7, 31, "-sample 1x2 -quality 60 -restart 1B"},
      {120, 80, "-sample 2x2 -quality 85 -restart 3B"},
      {120, 80, "-sample 1x1 -quality 95 -restart 1"},
      {45, 29, "-grayscale -quality 70 -restart 2B"},
      {200, 150, "-sample 2x2 -quality 92 -optimize"},
      {96, 64, "-sample 1x1 -quality 100"},
  };
  TempDir dir;
  auto store = std::make_unique<img::ImageStore>();
  make_store(*store, 256, 256);
  auto decoder = std::make_unique<formats::JpegDecoder>();
  int largest = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.options);
    const std::string source = dir.file("source.ppm");
    const std::string jpeg = dir.file("test.jpg");
    const std::string reference = dir.file("reference.pnm");
    write_source(source, c.width, c.height);
    ASSERT_EQ(std::system(("cjpeg " + c.options + " -outfile " + jpeg + " " + source).c_str()), 0);
    ASSERT_EQ(
        std::system(("djpeg -dct int -nosmooth -pnm -outfile " + reference + " " + jpeg).c_str()),
        0);
    Raster want;
    ASSERT_TRUE(read_pnm(reference, want));
    ASSERT_EQ(formats::load_picture(jpeg, *store, *decoder).message, platform::Status::kFileLoaded);
    ASSERT_EQ(store->width, c.width);
    ASSERT_EQ(store->height, c.height);
    double sum[3] = {};
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const img::Pixel p = store->working().at(x, y);
        const int got[3] = {img::red_of(p), img::green_of(p), img::blue_of(p)};
        const std::uint8_t* w =
            &want.data[(static_cast<std::size_t>(y) * c.width + x) * want.channels];
        for (int k = 0; k < 3; ++k) {
          const int d = std::abs(got[k] - w[want.channels == 3 ? k : 0]);
          sum[k] += d;
          largest = std::max(largest, d);
          EXPECT_LE(d, 5) << "pixel " << x << "," << y << " component " << k;
        }
      }
    }
    // The mean needs enough pixels to mean anything; the tiny pictures (1 x 1, 17 x 9)
    // are held to the per-pixel bound alone.
    if (c.width * c.height >= 200) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_LT(sum[k] / (c.width * c.height), 1.5) << "component " << k;
      }
    }
  }
  std::printf("largest single difference from libjpeg: %d\n", largest);
  RecordProperty("largest_difference", largest);
}

// The fast decoder against the plain one, bit for bit: on cjpeg files (also into stores
// smaller than the picture) and on damaged copies of them. Where the fast decoder refuses a
// damaged file the two may differ (the plain reader goes on past the end of the file), so
// only accepted files are compared. The decoder on two threads with its portable kernels
// gives what the fast one gives on one, refusals and partial pictures included.
TEST(JpegOracle, FastDecoderMatchesThePlainOneBitForBit) {
  if (!tools_available({"cjpeg", "djpeg"}))
    GTEST_SKIP() << "cjpeg (libjpeg-turbo-progs) not installed";
  struct Case {
    int width, height;
    std::string options;
    std::int32_t maxh, maxv;
  };
  const Case cases[] = {
      {64, 48, "-sample 1x1 -quality 90", 64, 64},
      {61, 45, "-sample 2x1 -quality 97", 72, 60},
      {50, 70, "-sample 1x2 -quality 55 -restart 1B", 72, 80},
      {90, 40, "-sample 2x2 -quality 100 -optimize", 96, 48},
      {80, 64, "-sample 2x2 -quality 80 -restart 2B", 44, 37},
      {47, 33, "-grayscale -quality 93 -restart 1", 64, 64},
      {100, 30, "-sample 1x1 -quality 100", 100, 30},
      {300, 200, "-sample 2x2 -quality 85 -restart 3", 320, 150},  // many rows, stops at maxv
  };
  TempDir dir;
  std::mt19937 rng(2024);
  auto fast_store = std::make_unique<img::ImageStore>();
  auto plain_store = std::make_unique<img::ImageStore>();
  auto two_store = std::make_unique<img::ImageStore>();
  auto fast = std::make_unique<formats::JpegDecoder>();
  auto two = std::make_unique<formats::JpegDecoder>();
  fast->set_threads(1);
  two->set_threads(2);
  two->use_generic_kernels();  // and the portable kernels, as on a processor without vectors
  auto plain = std::make_unique<ReferenceDecoder>();
  int compared = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    make_store(*fast_store, c.maxh, c.maxv);
    make_store(*plain_store, c.maxh, c.maxv);
    make_store(*two_store, c.maxh, c.maxv);
    const std::string source = dir.file("source.ppm"), jpeg = dir.file("test.jpg");
    write_source(source, c.width, c.height);
    ASSERT_EQ(std::system(("cjpeg " + c.options + " -outfile " + jpeg + " " + source).c_str()), 0);
    const Bytes original = read_bytes(jpeg);
    for (int variant = 0; variant < 60; ++variant) {
      Bytes file = original;
      if (variant > 0) {  // damage the second half of the file, where the scan data is
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
          const std::size_t at = file.size() / 2 + rng() % (file.size() / 2);
          file[at] = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : rng());
        }
        if (variant % 7 == 0) file.resize(file.size() - 1 - rng() % 40);
      }
      const platform::Status m = formats::load_picture_bytes(file, *fast_store, *fast).message;
      ASSERT_EQ(formats::load_picture_bytes(file, *two_store, *two).message, m);
      ASSERT_EQ(two_store->width, fast_store->width);
      ASSERT_EQ(two_store->height, fast_store->height);
      ASSERT_TRUE(std::equal(fast_store->working().px,
                             fast_store->working().px + c.maxv * fast_store->working().stride,
                             two_store->working().px))
          << "variant " << variant;
      if (m == platform::Status::kJpegDecodeError) continue;
      const platform::Status want = plain->decode(file, *plain_store);
      ASSERT_EQ(m, want) << "variant " << variant;
      ASSERT_EQ(fast_store->width, plain_store->width);
      ASSERT_EQ(fast_store->height, plain_store->height);
      for (std::int32_t y = 0; y < c.maxv; ++y) {
        for (std::int32_t x = 0; x < c.maxh; ++x) {
          ASSERT_EQ(fast_store->working().at(x, y), plain_store->working().at(x, y))
              << "variant " << variant << " pixel " << x << "," << y;
        }
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 50);
  std::printf("compared %d files with the plain decoder\n", compared);
}

}  // namespace
}  // namespace formats_test
