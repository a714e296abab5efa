// The marker loop, the scan and the placement rules, on files built by hand.
#include <gtest/gtest.h>

#include <memory>

#include "formats/loader.h"
#include "jpeg_builder.h"
#include "test_files.h"

namespace formats_test {
namespace {

using platform::Status;
constexpr img::Pixel kUntouched = 0x00ABCDEF;

struct Decode {
  std::unique_ptr<img::ImageStore> store = std::make_unique<img::ImageStore>();
  std::unique_ptr<formats::JpegDecoder> decoder = std::make_unique<formats::JpegDecoder>();
  formats::LoadResult result;

  Decode(std::int32_t maxh, std::int32_t maxv) { make_store(*store, maxh, maxv, kUntouched); }
  formats::LoadResult load(const Bytes& file) {
    result = formats::load_picture_bytes(file, *store, *decoder);
    return result;
  }
  img::Pixel at(int x, int y) const { return store->working().at(x, y); }
  static img::Pixel grey(int v) { return img::make_pixel(v, v, v); }
};

// A grey file with flat quantisation 1 and the builder's tables, up to the scan header.
JpegBuilder grey_header(int width, int height) {
  JpegBuilder j;
  j.dqt({{0, JpegBuilder::flat_quant(1)}});
  j.sof0(width, height, {{1, 0x11, 0}});
  j.standard_tables();
  j.sos({1});
  return j;
}

// Grey level of a DC-only block with quantised DC value F (quantisation 1):
// Y' = 32 F + 32768, then >> 8 and clamped.
int dc_grey(int f) {
  return std::clamp((32 * f + 32768) >> 8, 0, 255);
}

TEST(JpegDecoder, MinimalFileWithApplicationSegment) {
  JpegBuilder j;
  j.raw({0xFF, 0xE0, 0, 6, 'J', 'F', 'I', 'F'});  // skipped by its length
  j.dqt({{0, JpegBuilder::flat_quant(2)}});
  j.sof0(8, 8, {{1, 0x11, 0}});
  j.standard_tables();
  j.sos({1});
  j.block({40, {}});  // F = 80: every sample 32768 * 80
  j.eoi();
  Decode run(16, 16);
  const formats::LoadResult r = run.load(j.bytes);
  EXPECT_EQ(r.message, Status::kFileLoaded);
  EXPECT_TRUE(r.name_taken);
  EXPECT_EQ(run.store->width, 8);
  EXPECT_EQ(run.store->height, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(run.at(x, y), Decode::grey(dc_grey(80)));
  }
  EXPECT_EQ(run.at(8, 0), kUntouched);
}

TEST(JpegDecoder, RefusedFilesGiveTheDecodeError) {
  struct Case {
    const char* name;
    Bytes file;
  };
  auto with = [](auto edit) {
    JpegBuilder j;
    edit(j);
    j.eoi();
    return j.bytes;
  };
  auto scan_of = [](JpegBuilder& j, int sampling) {
    j.dqt({{0, JpegBuilder::flat_quant(1)}});
    j.sof0(8, 8, {{1, sampling, 0}});
    j.standard_tables();
    j.sos({1});
    j.block({0, {}});
  };
  const Case cases[] = {
      {"start and end only", with([](JpegBuilder&) {})},
      {"nothing after the start", {0xFF, 0xD8}},
      {"marker without 0xFF", with([](JpegBuilder& j) {
         j.raw({0x00, 0xDB});
       })},
      {"fill byte before a marker", with([](JpegBuilder& j) {
         j.raw({0xFF, 0xFF, 0xD9});
       })},
      {"quantisation identifier 4", with([](JpegBuilder& j) {
         j.dqt({{4, JpegBuilder::flat_quant(1)}});
       })},
      {"Huffman identifier 4", with([](JpegBuilder& j) { j.dht({JpegBuilder::dc_table(4)}); })},
      {"over-subscribed Huffman table", with([](JpegBuilder& j) {
         auto h = JpegBuilder::dc_table(0);
         h.counts[3] = 17;
         h.symbols.push_back(0);
         j.dht({h});
       })},
      {"frame component 0", with([](JpegBuilder& j) {
         j.sof0(8, 8, {{0, 0x11, 0}});
       })},
      {"frame component 5", with([](JpegBuilder& j) {
         j.sof0(8, 8, {{5, 0x11, 0}});
       })},
      {"frame quantisation table 4", with([](JpegBuilder& j) {
         j.sof0(8, 8, {{1, 0x11, 4}});
       })},
      {"scan component 5", with([](JpegBuilder& j) {
         j.sof0(8, 8, {{1, 0x11, 0}});
         j.sos({5});
       })},
      {"scan table 4", with([](JpegBuilder& j) {
         j.sof0(8, 8, {{1, 0x11, 0}});
         j.raw({0xFF, 0xDA, 0, 8, 1, 1, 0x44, 0, 63, 0});
       })},
      {"sampling 0 x 0", with([&](JpegBuilder& j) { scan_of(j, 0x00); })},
      {"sampling 3 x 1", with([&](JpegBuilder& j) { scan_of(j, 0x31); })},
      {"sampling 1 x 4", with([&](JpegBuilder& j) { scan_of(j, 0x14); })},
      {"scan without a baseline frame", with([](JpegBuilder& j) {
         j.dqt({{0, JpegBuilder::flat_quant(1)}});
         j.sof(0xC9, 8, 8, {{1, 0x11, 0}});  // arithmetic: skipped like any other segment
         j.standard_tables();
         j.sos({1});
         j.block({0, {}});
       })},
      {"segment length 1", with([](JpegBuilder& j) {
         j.raw({0xFF, 0xE1, 0x00, 0x01});
       })},
      {"segment longer than the file", with([](JpegBuilder& j) {
         j.raw({0xFF, 0xE1, 0x40, 0});
       })},
      {"AC run past coefficient 63", with([](JpegBuilder& j) {
         j.dqt({{0, JpegBuilder::flat_quant(1)}});
         j.sof0(8, 8, {{1, 0x11, 0}});
         j.standard_tables();
         j.sos({1});
         j.put_bits(0, 4);                                 // DC size 0
         for (int i = 0; i < 3; ++i) j.put_bits(0xF0, 8);  // 48 zeros: position 49
         j.put_bits(0xF0, 8);                              // 16 more would end at 64
       })},
      {"no code matches", with([](JpegBuilder& j) {
         j.dqt({{0, JpegBuilder::flat_quant(1)}});
         j.sof0(8, 8, {{1, 0x11, 0}});
         auto dc = JpegBuilder::dc_table(0);
         dc.counts[3] = 4;  // only 0000 .. 0011
         dc.symbols.resize(4);
         j.dht({dc, JpegBuilder::ac_table(0)});
         j.sos({1});
         j.put_bits(0xFFFF, 16);
         j.put_bits(0xFFFF, 16);
       })},
      {"scan cut short",
       [] {
         JpegBuilder j = grey_header(16, 8);
         j.block({1, {}});
         j.flush_bits();
         return j.bytes;  // the second block is missing, and so is the end marker
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decode run(16, 16);
    run.store->width = 5;
    run.store->height = 6;
    const formats::LoadResult r = run.load(c.file);
    EXPECT_EQ(r.message, Status::kJpegDecodeError);
    EXPECT_FALSE(r.name_taken);
  }
}

TEST(JpegDecoder, FailureBeforeTheFrameKeepsThePictureAndAfterItLimitsTheSize) {
  Decode run(16, 16);
  run.store->width = 5;
  run.store->height = 6;
  JpegBuilder refused;
  refused.dqt({{4, JpegBuilder::flat_quant(1)}});
  refused.sof0(8, 8, {{1, 0x11, 0}});
  run.load(refused.bytes);
  EXPECT_EQ(run.store->width, 5);
  EXPECT_EQ(run.store->height, 6);
  EXPECT_EQ(run.at(0, 0), kUntouched);

  JpegBuilder big = grey_header(100, 30);
  big.put_bits(0xFFFF, 16);  // DC size 15 then junk: runs out of data
  run.load(big.bytes);
  EXPECT_EQ(run.result.message, Status::kJpegDecodeError);
  EXPECT_EQ(run.store->width, 16);
  EXPECT_EQ(run.store->height, 16);
}

TEST(JpegDecoder, TruncatedScanKeepsTheBlocksPlacedBeforeIt) {
  JpegBuilder j = grey_header(24, 8);
  j.block({10, {}});
  j.block({10, {}});
  j.flush_bits();
  Decode run(32, 32);
  EXPECT_EQ(run.load(j.bytes).message, Status::kJpegDecodeError);
  EXPECT_EQ(run.at(0, 0), Decode::grey(dc_grey(10)));
  EXPECT_EQ(run.at(15, 7), Decode::grey(dc_grey(20)));
  EXPECT_EQ(run.at(16, 0), kUntouched);
  EXPECT_EQ(run.store->width, 24);
}

TEST(JpegDecoder, TableSegmentsHoldSeveralTables) {
  Decode run(16, 16);
  JpegBuilder j;
  std::vector<int> q0(64), q1(64);
  for (int i = 0; i < 64; ++i) {
    q0[i] = i;
    q1[i] = 255 - i;
  }
  j.dqt({{0, q0}, {1, q1}});                 // length 132
  j.dqt({{3, JpegBuilder::flat_quant(7)}});  // length 67
  j.raw({0xFF, 0xDB, 0, 67, 0x12});          // precision bits are ignored: table 2
  for (int i = 0; i < 64; ++i) j.raw({9});
  auto dc1 = JpegBuilder::dc_table(1);
  dc1.counts = std::vector<int>(16, 0);
  dc1.counts[0] = 1;
  dc1.symbols = {7};
  j.dht({JpegBuilder::dc_table(0), JpegBuilder::ac_table(0), dc1, JpegBuilder::ac_table(3)});
  j.eoi();
  run.load(j.bytes);
  const auto& t = run.decoder->tables();
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(t.quant[0][i], i);
    EXPECT_EQ(t.quant[1][i], 255 - i);
  }
  EXPECT_EQ(t.quant[2][0], 9);
  EXPECT_EQ(t.quant[3][63], 7);
  EXPECT_EQ(t.huffman[0].symbol_count, 16);
  EXPECT_EQ(t.huffman[4].symbol_count, 255);
  EXPECT_EQ(t.huffman[1].symbol_count, 1);
  EXPECT_EQ(t.huffman[1].symbols[0], 7);
  EXPECT_EQ(t.huffman[7].symbol_count, 255);
  EXPECT_EQ(t.huffman[5].symbol_count, 0);
}

TEST(JpegDecoder, DcPredictionAndBlockEnds) {
  // Four blocks in a row: DC differences 10, 0 (the predictor repeats), -30, and a block
  // whose AC coefficients run to position 63 without an end-of-block symbol.
  JpegBuilder head = grey_header(32, 8);
  head.block({10, {}});
  head.block({0, {}});
  head.block({-30, {}});
  head.put_bits(0, 4);                                 // DC difference 0
  for (int i = 0; i < 3; ++i) head.put_bits(0xF0, 8);  // positions 1..48 zero
  head.put_bits(0xE0, 8);  // 14 zeros and a zero coefficient: positions 49..63
  head.eoi();
  Decode run(40, 16);
  EXPECT_EQ(run.load(head.bytes).message, Status::kFileLoaded);
  EXPECT_EQ(run.at(0, 0), Decode::grey(dc_grey(10)));
  EXPECT_EQ(run.at(8, 0), Decode::grey(dc_grey(10)));
  EXPECT_EQ(run.at(16, 0), Decode::grey(dc_grey(-20)));
  EXPECT_EQ(run.at(31, 7), Decode::grey(dc_grey(-20)));
}

TEST(JpegDecoder, RestartIntervalOneResetsThePredictors) {
  for (const bool restarts : {false, true}) {
    SCOPED_TRACE(restarts);
    JpegBuilder j;
    j.dqt({{0, JpegBuilder::flat_quant(1)}});
    j.sof0(24, 8, {{1, 0x11, 0}});
    j.standard_tables();
    if (restarts) j.dri(1);
    j.sos({1});
    for (int i = 0; i < 3; ++i) {
      j.block({20, {}});
      if (restarts && i < 2) j.restart_marker(i);
    }
    j.eoi();
    Decode run(32, 8);
    EXPECT_EQ(run.load(j.bytes).message, Status::kFileLoaded);
    for (int b = 0; b < 3; ++b) {
      EXPECT_EQ(run.at(8 * b + 4, 4), Decode::grey(dc_grey(restarts ? 20 : 20 * (b + 1)))) << b;
    }
  }
}

TEST(JpegDecoder, RestartAfterStuffedBytes) {
  // Every MCU ends in 0xFF bytes (DC difference 32767 is 19 one bits) before its restart
  // marker, so the reader has stuffed bytes buffered when the restart skips the marker.
  JpegBuilder j;
  j.dqt({{0, JpegBuilder::flat_quant(1)}});
  j.sof0(8 * 12, 8, {{1, 0x11, 0}});
  j.standard_tables();
  j.dri(1);
  j.sos({1});
  for (int i = 0; i < 12; ++i) {
    j.block({i % 3 == 0 ? -5 : 32767, {}});
    if (i < 11) j.restart_marker(i);
  }
  j.eoi();
  Decode run(100, 8);
  EXPECT_EQ(run.load(j.bytes).message, Status::kFileLoaded);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(run.at(8 * i + 2, 6), Decode::grey(i % 3 == 0 ? dc_grey(-5) : 255)) << i;
  }
}

TEST(JpegDecoder, StuffedBytesAnywhereInTheScan) {
  // Blocks with DC differences +32767 and -32767 put runs of 19 one bits (so 0xFF bytes
  // with their stuffed zeros) all through a scan of about 5000 bytes. Leading plain blocks
  // shift the bytes until a 0xFF lands on the last byte of the first 4096.
  bool boundary_seen = false;
  for (int lead = 0; lead < 16 && !boundary_seen; ++lead) {
    JpegBuilder j = grey_header(320, 280);
    const std::size_t scan_start = j.bytes.size();
    const int blocks = 40 * 35;
    std::vector<int> values;
    int predictor = 0;
    for (int b = 0; b < blocks; ++b) {
      const int diff = b < lead ? 0 : ((b - lead) % 2 == 0 ? 32767 : -32767);
      predictor += diff;
      values.push_back(predictor);
      j.block({diff, {}});
    }
    j.eoi();
    if (j.bytes.size() < scan_start + 4097 || j.bytes[scan_start + 4095] != 0xFF) continue;
    boundary_seen = true;
    Decode run(328, 280);
    ASSERT_EQ(run.load(j.bytes).message, Status::kFileLoaded);
    for (int b = 0; b < blocks; ++b) {
      ASSERT_EQ(run.at((b % 40) * 8 + 3, (b / 40) * 8 + 5), Decode::grey(dc_grey(values[b])))
          << "block " << b;
    }
  }
  EXPECT_TRUE(boundary_seen);
}

TEST(JpegDecoder, McuWalkForEverySampling) {
  // 17 x 9 pictures: the number of MCUs follows the luminance factors; each MCU has
  // h x v luminance blocks, then one block of each colour difference.
  struct Case {
    int sampling, mcus;
  };
  for (const Case c :
       {Case{0x11, 3 * 2}, Case{0x21, 2 * 2}, Case{0x12, 3 * 1}, Case{0x22, 2 * 1}}) {
    SCOPED_TRACE(c.sampling);
    const int h = c.sampling >> 4, v = c.sampling & 15;
    JpegBuilder j;
    j.dqt({{0, JpegBuilder::flat_quant(1)}});
    j.sof0(17, 9, {{1, c.sampling, 0}, {2, 0x11, 0}, {3, 0x11, 0}});
    j.standard_tables();
    j.sos({1, 2, 3});
    for (int m = 0; m < c.mcus; ++m) {
      for (int b = 0; b < h * v; ++b) j.block({m == 0 && b == 0 ? 8 : 0, {}});
      j.block({0, {}});
      j.block({0, {}});
    }
    const Bytes without_end = j.bytes;
    j.eoi();
    Decode run(40, 40);
    EXPECT_EQ(run.load(j.bytes).message, Status::kFileLoaded);
    // Whole MCUs are written, also beyond the picture's 17 x 9.
    const int covered_w = ((17 + 8 * h - 1) / (8 * h)) * 8 * h;
    const int covered_h = ((9 + 8 * v - 1) / (8 * v)) * 8 * v;
    EXPECT_EQ(run.at(covered_w - 1, covered_h - 1), Decode::grey(dc_grey(8)));
    EXPECT_EQ(run.at(covered_w, 0), kUntouched);
    EXPECT_EQ(run.at(0, covered_h), kUntouched);

    // One MCU fewer than the walk needs: the scan runs out.
    JpegBuilder shorter;
    shorter.bytes = without_end;
    shorter.bytes.resize(without_end.size() - 7);
    Decode run2(40, 40);
    EXPECT_EQ(run2.load(shorter.bytes).message, Status::kJpegDecodeError);
  }
}

TEST(JpegDecoder, PlacementLimits) {
  struct Case {
    const char* name;
    int width, height, maxh, maxv;
    Status message;
    int final_width, final_height;
    int last_written_x, last_written_y;  // inclusive; beyond them the store is untouched
  };
  const Case cases[] = {
      {"fits", 20, 12, 32, 32, Status::kFileLoaded, 20, 12, 23, 15},
      {"exactly maxh wide", 16, 8, 16, 16, Status::kSizeTooLarge, 16, 8, 15, 7},
      {"120 wide, maxh 100", 120, 8, 100, 16, Status::kSizeTooLarge, 100, 8, 95, 7},
      {"maxv 20, last block row crosses it", 8, 20, 16, 20, Status::kSizeTooLarge, 8, 20, 7, 15},
      {"taller than maxv", 8, 40, 16, 20, Status::kSizeTooLarge, 8, 20, 7, 15},
      {"no block fits across", 12, 40, 6, 20, Status::kSizeTooLarge, 6, 20, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JpegBuilder j = grey_header(c.width, c.height);
    const int blocks = ((c.width + 7) / 8) * ((c.height + 7) / 8);
    for (int b = 0; b < blocks; ++b) j.block({b == 0 ? 16 : 0, {}});
    j.eoi();
    Decode run(c.maxh, c.maxv);
    const formats::LoadResult r = run.load(j.bytes);
    EXPECT_EQ(r.message, c.message);
    EXPECT_TRUE(r.name_taken);
    EXPECT_EQ(run.store->width, c.final_width);
    EXPECT_EQ(run.store->height, c.final_height);
    for (int y = 0; y < c.maxv; ++y) {
      for (int x = 0; x < c.maxh; ++x) {
        const bool written = x <= c.last_written_x && y <= c.last_written_y;
        ASSERT_EQ(run.at(x, y) == kUntouched, !written) << x << "," << y;
      }
    }
  }
}

TEST(JpegDecoder, TablesPersistAndGreyFollowsColour) {
  Decode run(16, 16);
  JpegBuilder colour;
  colour.dqt({{0, JpegBuilder::flat_quant(1)}});
  colour.sof0(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}});
  colour.standard_tables();
  colour.sos({1, 2, 3});
  colour.block({0, {}});
  colour.block({0, {}});
  colour.block({800, {}});  // Cr sample 800 * 32768 = 100 << 18
  colour.eoi();
  ASSERT_EQ(run.load(colour.bytes).message, Status::kFileLoaded);
  EXPECT_EQ(run.at(3, 3), img::make_pixel(255, 56, 128));

  // A grey file that defines no tables of its own: the colour file's tables decode it.
  JpegBuilder grey;
  grey.sof0(8, 8, {{1, 0x11, 0}});
  grey.sos({1});
  grey.block({-100, {}});
  grey.eoi();
  ASSERT_EQ(run.load(grey.bytes).message, Status::kFileLoaded);
  EXPECT_EQ(run.at(3, 3), Decode::grey(dc_grey(-100)));
}

TEST(JpegDecoder, TwoStartMarkersAreAccepted) {
  JpegBuilder j;
  j.raw({0xFF, 0xD8});
  JpegBuilder rest = grey_header(8, 8);
  j.bytes.insert(j.bytes.end(), rest.bytes.begin() + 2, rest.bytes.end());
  j.block({0, {}});
  j.eoi();
  Decode run(8, 16);  // maxh = 8: the picture is exactly as wide, so "too large"
  EXPECT_EQ(run.load(j.bytes).message, Status::kSizeTooLarge);
  EXPECT_EQ(run.at(7, 7), Decode::grey(128));
}

}  // namespace
}  // namespace formats_test
