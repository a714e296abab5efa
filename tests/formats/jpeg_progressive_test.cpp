// Files decoded scan by scan: progressive and extended sequential files made losslessly by
// jpegtran from cjpeg's baseline files decode to the baseline file's pixels over the whole
// plane; damaged, cut and refused files report as baseline ones do.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "formats/loader.h"
#include "jpeg_builder.h"
#include "jpeg_tools.h"
#include "test_files.h"

namespace formats_test {
namespace {

using platform::Status;
constexpr img::Pixel kUntouched = 0x00ABCDEF;

// Scan scripts for jpegtran -scans, for three components or one.
std::string scan_script(const std::string& name, bool colour) {
  if (name == "refine") {  // spectral splits and successive approximation down to bit 0
    std::string s = colour ? "0,1,2: 0-0, 0, 2;\n" : "0: 0-0, 0, 2;\n";
    s += "0: 1-2, 0, 3;\n0: 3-9, 0, 2;\n0: 10-63, 0, 1;\n";
    if (colour) s += "1: 1-63, 0, 1;\n2: 1-5, 0, 0;\n2: 6-63, 0, 0;\n";
    s += colour ? "0,1,2: 0-0, 2, 1;\n0,1,2: 0-0, 1, 0;\n" : "0: 0-0, 2, 1;\n0: 0-0, 1, 0;\n";
    s += "0: 1-2, 3, 2;\n0: 1-2, 2, 1;\n0: 1-2, 1, 0;\n0: 3-9, 2, 1;\n0: 3-9, 1, 0;\n";
    s += "0: 10-63, 1, 0;\n";
    if (colour) s += "1: 1-63, 1, 0;\n";
    return s;
  }
  if (name == "apart") {  // every DC scan on its own
    return colour ? "0: 0-0, 0, 0;\n1: 0-0, 0, 0;\n2: 0-0, 0, 0;\n0: 1-63, 0, 0;\n"
                    "2: 1-63, 0, 0;\n1: 1-63, 0, 0;\n"
                  : "0: 0-0, 0, 0;\n0: 1-63, 0, 0;\n";
  }
  if (name == "dc") return colour ? "0,1,2: 0-0, 0, 2;\n" : "0: 0-0, 0, 2;\n";  // refine's first
  // Sequential, one scan per component.
  return colour ? "0: 0-63, 0, 0;\n1: 0-63, 0, 0;\n2: 0-63, 0, 0;\n" : "0: 0-63, 0, 0;\n";
}

// The position of the first marker after the entropy-coded data that starts at `at`.
std::size_t next_marker(const Bytes& b, std::size_t at) {
  for (; at + 1 < b.size(); ++at) {
    if (b[at] == 0xFF && b[at + 1] != 0 && (b[at + 1] < 0xD0 || b[at + 1] > 0xD7)) return at;
  }
  return b.size();
}

std::size_t find_marker(const Bytes& b, int kind) {
  for (std::size_t at = 0; at + 1 < b.size(); ++at) {
    if (b[at] == 0xFF && b[at + 1] == kind) return at;
  }
  return b.size();
}

// Files made in a scratch folder from the synthetic photograph.
class Maker {
 public:
  // A baseline file from cjpeg.
  Bytes baseline(int width, int height, const std::string& options) {
    write_source(dir_.file("source.ppm"), width, height);
    colour_ = options.find("-grayscale") == std::string::npos;
    EXPECT_TRUE(run("cjpeg " + options + " -outfile " + dir_.file("base.jpg") + " " +
                    dir_.file("source.ppm")));
    return read_bytes(dir_.file("base.jpg"));
  }
  // The last baseline file through jpegtran: "@name" stands for a scan script, and a
  // leading "sof1" turns the frame marker into the extended sequential one.
  Bytes transform(std::string options) {
    const bool sof1 = options.rfind("sof1", 0) == 0;
    if (sof1) options.erase(0, 4);
    const std::size_t at = options.find('@');
    if (at != std::string::npos) {
      const std::size_t end = options.find(' ', at);
      const std::string name = options.substr(at + 1, end - at - 1);
      write_bytes(dir_.file("script"), to_bytes(scan_script(name, colour_)));
      options.replace(at, end - at, dir_.file("script"));
    }
    EXPECT_TRUE(run("jpegtran -copy none " + options + " -outfile " + dir_.file("out.jpg") + " " +
                    dir_.file("base.jpg")));
    Bytes b = read_bytes(dir_.file("out.jpg"));
    if (sof1) {
      const std::size_t frame = find_marker(b, 0xC0);
      EXPECT_LT(frame, find_marker(b, 0xDA));
      b[frame + 1] = 0xC1;
    }
    return b;
  }

 private:
  static Bytes to_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
  TempDir dir_;
  bool colour_ = true;
};

struct Loaded {
  formats::LoadResult result;
  std::int32_t width, height;
};

Loaded load(const Bytes& file, img::ImageStore& store, formats::JpegDecoder& decoder) {
  const formats::LoadResult r = formats::load_picture_bytes(file, store, decoder);
  return {r, store.width, store.height};
}

bool tools() {
  return tools_available({"cjpeg", "jpegtran"});
}

TEST(JpegProgressive, DecodesLikeTheBaselineFileItWasMadeFrom) {
  if (!tools()) GTEST_SKIP() << "cjpeg/jpegtran (libjpeg-turbo-progs) not installed";
  struct Case {
    int width, height;
    std::string cjpeg, jpegtran;
    std::int32_t maxh, maxv;
    // The blocks that pad the last MCUs are carried by interleaved scans only: without
    // them only the picture itself matches.
    bool padding = true;
  };
  const Case cases[] = {
      {64, 48, "-sample 1x1 -quality 90", "-progressive", 72, 64},
      {61, 45, "-sample 2x1 -quality 97", "-progressive", 72, 60},
      {50, 70, "-sample 1x2 -quality 55", "-progressive -restart 1", 72, 80},
      {90, 40, "-sample 2x2 -quality 100", "-scans @refine", 96, 48},
      {47, 33, "-grayscale -quality 93", "-scans @refine -restart 2B", 64, 64},
      {17, 9, "-sample 2x2", "-progressive", 32, 32},
      {1, 1, "-sample 2x2", "-progressive", 16, 16},
      {101, 67, "-sample 2x2 -quality 85", "-scans @apart -restart 3B", 112, 80, false},
      {120, 80, "-sample 1x1 -quality 75", "-scans @refine -restart 1", 128, 80},
      {77, 51, "-sample 2x1 -quality 98", "-scans @refine -restart 5B", 80, 56},
      {45, 29, "-grayscale -quality 70", "-progressive -restart 1B", 48, 32},
      {64, 48, "-sample 2x2 -quality 90", "-progressive", 64, 64},    // width = maxh
      {40, 30, "-sample 2x2 -quality 90", "-scans @refine", 46, 30},  // padding crosses maxv
      {33, 20, "-sample 2x2 -restart 1B", "sof1", 40, 32},
      {60, 44, "-sample 1x1 -quality 80", "sof1 -scans @sequential -restart 2B", 64, 48},
      {35, 26, "-grayscale", "sof1 -scans @sequential", 40, 32},
      {53, 37, "-sample 2x2 -quality 60", "sof1 -scans @sequential", 64, 48, false},
  };
  Maker make;
  auto baseline_store = std::make_unique<img::ImageStore>();
  auto store = std::make_unique<img::ImageStore>();
  auto decoder = std::make_unique<formats::JpegDecoder>();  // one for all: tables persist
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.cjpeg + " | " +
                 c.jpegtran);
    const Bytes baseline = make.baseline(c.width, c.height, c.cjpeg);
    const Bytes other = make.transform(c.jpegtran);
    make_store(*baseline_store, c.maxh, c.maxv, kUntouched);
    make_store(*store, c.maxh, c.maxv, kUntouched);
    const Loaded want = load(baseline, *baseline_store, *decoder);
    const Loaded got = load(other, *store, *decoder);
    ASSERT_NE(want.result.message, Status::kJpegDecodeError);
    ASSERT_EQ(got.result.message, want.result.message);
    ASSERT_EQ(got.result.name_taken, want.result.name_taken);
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    for (std::int32_t y = 0; y < (c.padding ? c.maxv : got.height); ++y) {
      for (std::int32_t x = 0; x < (c.padding ? c.maxh : got.width); ++x) {
        ASSERT_EQ(store->working().at(x, y), baseline_store->working().at(x, y))
            << "pixel " << x << "," << y;
      }
    }
  }
}

// The Exif orientation turns a progressive picture upright as it does the baseline one.
TEST(JpegProgressive, OrientationTagTurnsItUpright) {
  if (!tools()) GTEST_SKIP() << "cjpeg/jpegtran (libjpeg-turbo-progs) not installed";
  TempDir dir;
  auto baseline_store = std::make_unique<img::ImageStore>();
  auto store = std::make_unique<img::ImageStore>();
  auto decoder = std::make_unique<formats::JpegDecoder>();
  for (const char* name : {"exif_orientation_5.jpg", "exif_orientation_6.jpg"}) {
    SCOPED_TRACE(name);
    const std::string tagged = std::string(VELDRAN_SOURCE_DIR) + "/fuzz/corpus/fuzz_loader/" + name;
    ASSERT_TRUE(
        run("jpegtran -copy all -progressive -outfile " + dir.file("p.jpg") + " " + tagged));
    make_store(*baseline_store, 64, 64, kUntouched);
    make_store(*store, 64, 64, kUntouched);
    const Loaded want = load(read_bytes(tagged), *baseline_store, *decoder);
    const Loaded got = load(read_bytes(dir.file("p.jpg")), *store, *decoder);
    ASSERT_EQ(want.result.message, Status::kFileLoaded);
    ASSERT_EQ(got.result.message, want.result.message);
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    for (std::int32_t y = 0; y < want.height; ++y) {
      for (std::int32_t x = 0; x < want.width; ++x) {
        ASSERT_EQ(store->working().at(x, y), baseline_store->working().at(x, y)) << x << "," << y;
      }
    }
  }
}

// A cut file reports the decode error and keeps the frame's size, as a cut baseline file
// does; the scans before the cut are shown, so a file cut after its DC scan shows what the
// DC scan alone gives.
TEST(JpegProgressive, CutFilesReportLikeBaselineOnesAndShowTheScansBeforeTheCut) {
  if (!tools()) GTEST_SKIP() << "cjpeg/jpegtran (libjpeg-turbo-progs) not installed";
  Maker make;
  const Bytes baseline = make.baseline(70, 50, "-sample 2x2 -quality 90");
  const Bytes progressive = make.transform("-scans @refine -restart 1");
  auto store = std::make_unique<img::ImageStore>();
  auto decoder = std::make_unique<formats::JpegDecoder>();
  for (const Bytes* file : {&baseline, &progressive}) {
    for (int percent : {20, 45, 70, 90, 99}) {
      SCOPED_TRACE(std::string(file == &baseline ? "baseline" : "progressive") + " cut at " +
                   std::to_string(percent) + "%");
      make_store(*store, 80, 64, kUntouched);
      const Bytes cut(file->begin(),
                      file->begin() + static_cast<std::ptrdiff_t>(file->size() * percent / 100));
      const Loaded r = load(cut, *store, *decoder);
      EXPECT_EQ(r.result.message, Status::kJpegDecodeError);
      EXPECT_FALSE(r.result.name_taken);
      EXPECT_EQ(r.width, 70);
      EXPECT_EQ(r.height, 50);
    }
  }

  // The same DC scan heads the refining script; cut the file where its second scan begins.
  const Bytes whole = make.transform("-scans @refine");
  const std::size_t first_scan = find_marker(whole, 0xDA);
  const Bytes cut(whole.begin(),
                  whole.begin() + static_cast<std::ptrdiff_t>(next_marker(whole, first_scan + 2)));
  auto dc_store = std::make_unique<img::ImageStore>();
  make_store(*dc_store, 80, 64, kUntouched);
  make_store(*store, 80, 64, kUntouched);
  ASSERT_EQ(load(make.transform("-scans @dc"), *dc_store, *decoder).result.message,
            Status::kFileLoaded);
  ASSERT_EQ(load(cut, *store, *decoder).result.message, Status::kJpegDecodeError);
  EXPECT_NE(store->working().at(0, 0), kUntouched);
  for (std::int32_t y = 0; y < 64; ++y) {
    for (std::int32_t x = 0; x < 80; ++x) {
      ASSERT_EQ(store->working().at(x, y), dc_store->working().at(x, y)) << x << "," << y;
    }
  }
}

// Damaged scan data never crashes (the sanitizer build runs this) and either loads or
// reports the decode error.
TEST(JpegProgressive, DamagedScansLoadOrReportTheDecodeError) {
  if (!tools()) GTEST_SKIP() << "cjpeg/jpegtran (libjpeg-turbo-progs) not installed";
  Maker make;
  std::mt19937 rng(77);
  auto store = std::make_unique<img::ImageStore>();
  auto decoder = std::make_unique<formats::JpegDecoder>();
  make_store(*store, 96, 80);
  int failed = 0;
  for (const char* script : {"-scans @refine -restart 2B", "-progressive"}) {
    make.baseline(90, 70, "-sample 2x1 -quality 85");
    const Bytes original = make.transform(script);
    for (int variant = 0; variant < 150; ++variant) {
      Bytes file = original;
      const int edits = 1 + static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) {
        const std::size_t at = 200 + rng() % (file.size() - 200);
        file[at] = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : rng());
      }
      const Status m = load(file, *store, *decoder).result.message;
      ASSERT_TRUE(m == Status::kFileLoaded || m == Status::kJpegDecodeError) << variant;
      failed += m == Status::kJpegDecodeError;
    }
  }
  EXPECT_GT(failed, 30);
}

// Hand-made frames and scans: a grey 8 x 8 frame (or a colour one) with the builder's
// tables, then scans given by their header bytes and bits.
struct Scan {
  std::vector<int> ids;
  int ss, se, ah, al;
};

void progressive_scan(JpegBuilder& j, const Scan& s, int blocks) {
  j.raw({0xFF, 0xDA});
  j.u16(6 + 2 * static_cast<int>(s.ids.size()));
  j.raw({static_cast<int>(s.ids.size())});
  for (int id : s.ids) j.raw({id, 0x00});
  j.raw({s.ss, s.se, (s.ah << 4) | s.al});
  for (int b = 0; b < blocks; ++b) {
    if (s.ss == 0) j.put_bits(0, s.ah == 0 ? 4 : 1);  // DC difference 0, or refinement bit 0
    if (s.se > 0) j.put_bits(0x00, 8);                // end of band
  }
  j.flush_bits();
}

Bytes frame_file(int marker, int precision, const std::vector<JpegBuilder::FrameComponent>& comps,
                 const std::vector<Scan>& scans, bool end = true) {
  JpegBuilder j;
  j.dqt({{0, JpegBuilder::flat_quant(1)}});
  j.sof(marker, 8, 8, comps);
  j.bytes[j.bytes.size() - 6 - 3 * comps.size()] = static_cast<std::uint8_t>(precision);
  j.standard_tables();
  for (const Scan& s : scans) progressive_scan(j, s, static_cast<int>(s.ids.size()));
  if (end) j.eoi();
  return j.bytes;
}

TEST(JpegProgressive, RefusedFramesAndScansOutOfTurn) {
  const std::vector<JpegBuilder::FrameComponent> grey = {{1, 0x11, 0}};
  const std::vector<JpegBuilder::FrameComponent> colour = {
      {1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}};
  const Scan dc{{1}, 0, 0, 0, 0};
  const Scan dc_colour{{1, 2, 3}, 0, 0, 0, 0};
  struct Case {
    const char* name;
    Bytes file;
    Status want;
  };
  const Case cases[] = {
      {"grey, DC and AC", frame_file(0xC2, 8, grey, {dc, {{1}, 1, 63, 0, 0}}), Status::kFileLoaded},
      {"colour, extended sequential", frame_file(0xC1, 8, colour, {{{1, 2, 3}, 0, 63, 0, 0}}),
       Status::kFileLoaded},
      {"12-bit samples", frame_file(0xC2, 12, grey, {dc}), Status::kJpegDecodeError},
      {"12-bit extended", frame_file(0xC1, 12, grey, {{{1}, 0, 63, 0, 0}}),
       Status::kJpegDecodeError},
      {"arithmetic coding", frame_file(0xCA, 8, grey, {dc}), Status::kJpegDecodeError},
      {"lossless", frame_file(0xC3, 8, grey, {dc}), Status::kJpegDecodeError},
      {"two components", frame_file(0xC2, 8, {{1, 0x11, 0}, {2, 0x11, 0}}, {dc}),
       Status::kJpegDecodeError},
      {"luminance 4 x 1", frame_file(0xC2, 8, {{1, 0x41, 0}, {2, 0x11, 0}, {3, 0x11, 0}}, {}),
       Status::kJpegDecodeError},
      {"colour difference 2 x 2",
       frame_file(0xC2, 8, {{1, 0x22, 0}, {2, 0x22, 0}, {3, 0x11, 0}}, {}),
       Status::kJpegDecodeError},
      {"identifiers 0, 1, 2", frame_file(0xC2, 8, {{0, 0x11, 0}, {1, 0x11, 0}, {2, 0x11, 0}}, {}),
       Status::kJpegDecodeError},
      {"AC before DC", frame_file(0xC2, 8, grey, {{{1}, 1, 63, 0, 0}}), Status::kJpegDecodeError},
      {"DC scan with AC", frame_file(0xC2, 8, grey, {{{1}, 0, 5, 0, 0}}), Status::kJpegDecodeError},
      {"band ending before its start", frame_file(0xC2, 8, grey, {dc, {{1}, 9, 3, 0, 0}}),
       Status::kJpegDecodeError},
      {"AC scan of two components", frame_file(0xC2, 8, colour, {dc_colour, {{1, 2}, 1, 63, 0, 0}}),
       Status::kJpegDecodeError},
      {"first scan twice", frame_file(0xC2, 8, grey, {dc, dc}), Status::kJpegDecodeError},
      {"refinement skipping a bit",
       frame_file(0xC2, 8, grey, {{{1}, 0, 0, 0, 3}, {{1}, 0, 0, 3, 1}}), Status::kJpegDecodeError},
      {"refinement before the first scan", frame_file(0xC2, 8, grey, {{{1}, 0, 0, 1, 0}}),
       Status::kJpegDecodeError},
      {"bit position 14", frame_file(0xC2, 8, grey, {{{1}, 0, 0, 0, 14}}),
       Status::kJpegDecodeError},
      {"component outside the frame", frame_file(0xC2, 8, grey, {{{2}, 0, 0, 0, 0}}),
       Status::kJpegDecodeError},
      {"sequential component twice",
       frame_file(0xC1, 8, grey, {{{1}, 0, 63, 0, 0}, {{1}, 0, 63, 0, 0}}),
       Status::kJpegDecodeError},
      {"no end marker", frame_file(0xC2, 8, grey, {dc}, false), Status::kJpegDecodeError},
      {"a frame after a scan",
       [&] {
         Bytes b = frame_file(0xC2, 8, grey, {dc}, false);
         JpegBuilder rest;
         rest.sof0(8, 8, grey);
         b.insert(b.end(), rest.bytes.begin() + 2, rest.bytes.end());
         return b;
       }(),
       Status::kJpegDecodeError},
  };
  auto store = std::make_unique<img::ImageStore>();
  auto decoder = std::make_unique<formats::JpegDecoder>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    make_store(*store, 16, 16, kUntouched);
    const formats::LoadResult r = formats::load_picture_bytes(c.file, *store, *decoder);
    EXPECT_EQ(r.message, c.want);
    EXPECT_EQ(r.name_taken, c.want == Status::kFileLoaded);
  }
}

// A frame larger than the store is refused before anything changes.
TEST(JpegProgressive, FrameLargerThanTheStoreChangesNothing) {
  auto store = std::make_unique<img::ImageStore>();
  auto decoder = std::make_unique<formats::JpegDecoder>();
  for (const auto& [width, height] : {std::pair{17, 8}, std::pair{8, 17}}) {
    make_store(*store, 16, 16, kUntouched);
    store->width = 5;
    store->height = 6;
    JpegBuilder j;
    j.dqt({{0, JpegBuilder::flat_quant(1)}});
    j.sof(0xC2, width, height, {{1, 0x11, 0}});
    const formats::LoadResult r = formats::load_picture_bytes(j.bytes, *store, *decoder);
    EXPECT_EQ(r.message, Status::kSizeTooLarge);
    EXPECT_FALSE(r.name_taken);
    EXPECT_EQ(store->width, 5);
    EXPECT_EQ(store->height, 6);
  }
}

}  // namespace
}  // namespace formats_test
