// veldran-convert end to end: the program as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "jpeg_builder.h"
#include "test_files.h"

namespace formats_test {
namespace {

struct Outcome {
  int exit_code = -1;
  std::string err;
  std::string out;
};

std::string program() {
  const char* dir = std::getenv("VELDRAN_BIN_DIR");
  return std::string(dir ? dir : ".") + "/veldran-convert";
}

Outcome run(const TempDir& dir, const std::string& args) {
  const std::string err = dir.file("stderr.txt"), out = dir.file("stdout.txt");
  const int status = std::system((program() + " " + args + " >" + out + " 2>" + err).c_str());
  Outcome o;
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const Bytes e = read_bytes(err), s = read_bytes(out);
  o.err.assign(e.begin(), e.end());
  o.out.assign(s.begin(), s.end());
  return o;
}

class Convert : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system(("test -x " + program()).c_str()) != 0) {
      GTEST_SKIP() << "veldran-convert not built at " << program();
    }
    // A 20 x 12 colour JPEG made by hand, and a 3 x 2 BMP.
    JpegBuilder j;
    j.dqt({{0, JpegBuilder::flat_quant(1)}});
    j.sof0(20, 12, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}});
    j.standard_tables();
    j.sos({1, 2, 3});
    for (int b = 0; b < 3 * 2; ++b) {
      j.block({b == 0 ? 40 : 0, {}});
      j.block({0, {}});
      j.block({b == 0 ? 800 : 0, {}});
    }
    j.eoi();
    write_bytes(dir.file("in.jpg"), j.bytes);
    write_bytes(dir.file("in.bmp"),
                bmp_file(3, 2, 24, {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,
                                    10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}));
  }
  TempDir dir;
};

TEST_F(Convert, SavesLoadedPicturesAtEachDepth) {
  struct Case {
    std::string args;
    int bits;
    std::int32_t w, h;
  };
  const Case cases[] = {
      {"in.jpg out.bmp", 24, 20, 12},
      {"in.jpg out.bmp --depth 16", 16, 20, 12},
      {"--depth=16 in.bmp out.bmp", 16, 3, 2},
      {"in.bmp out.bmp --max 3,2", 24, 3, 2},
      {"in.bmp out.bmp --rotate 90", 24, 2, 3},
      {"in.bmp out.bmp --rotate=-450 --rotate 180", 24, 2, 3},
      {"in.jpg out.bmp --rotate 30", 24, 24, 22},  // 23.3 x 20.4, rounded up to even sides
      {"in.jpg out.bmp --rotate 90 --crop 0,0,5,7", 24, 5, 7},
      {"in.jpg out.bmp --crop 0,0,5,7 --rotate 90", 24, 7, 5},
      {"in.jpg out.bmp --crop -4,10,100,100", 24, 20, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string args = c.args;
    for (const char* name : {"in.jpg", "in.bmp", "out.bmp"}) {
      const std::size_t at = args.find(name);
      if (at != std::string::npos) args.replace(at, std::string(name).size(), dir.file(name));
    }
    const Outcome o = run(dir, args);
    EXPECT_EQ(o.exit_code, 0);
    EXPECT_EQ(o.err, "File loaded.\nFile saved.\n");
    const Bytes b = read_bytes(dir.file("out.bmp"));
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(get_le(b, 28, 2), static_cast<std::uint32_t>(c.bits));
    EXPECT_EQ(get_le(b, 18, 4), static_cast<std::uint32_t>(c.w));
    EXPECT_EQ(get_le(b, 22, 4), static_cast<std::uint32_t>(c.h));
  }
  // Turned clockwise, the old bottom-left pixel is the new top-left one.
  run(dir, dir.file("in.bmp") + " " + dir.file("turned.bmp") + " --rotate 90");
  const Bytes turned = read_bytes(dir.file("turned.bmp"));
  ASSERT_EQ(turned.size(), 54u + 3 * 8);
  EXPECT_EQ(Bytes(turned.begin() + 54 + 2 * 8, turned.begin() + 54 + 2 * 8 + 6),
            (Bytes{1, 2, 3, 10, 11, 12}));
  // The first JPEG block: Y' = 32 * 40 + 32768 with Cr = 100: red 255, green 61, blue 133.
  run(dir, dir.file("in.jpg") + " " + dir.file("top.bmp"));
  const Bytes top = read_bytes(dir.file("top.bmp"));
  const std::size_t top_row = 54 + 11 * 60;                     // rows bottom-up, stride 60
  EXPECT_EQ(top[top_row + 0], (32768 + 32 * 40) >> 8);          // blue
  EXPECT_EQ(top[top_row + 1], (32768 + 32 * 40 - 18300) >> 8);  // green
  EXPECT_EQ(top[top_row + 2], 255);                             // red
}

TEST_F(Convert, PngOutByNameAndPngIn) {
  // BMP to PNG to BMP at 24 bits keeps every pixel; the PNG is picked by its name alone.
  ASSERT_EQ(run(dir, dir.file("in.bmp") + " " + dir.file("mid.Png")).exit_code, 0);
  EXPECT_EQ(read_bytes(dir.file("mid.Png"))[1], 'P');
  const Outcome back = run(dir, dir.file("mid.Png") + " " + dir.file("back.bmp"));
  EXPECT_EQ(back.exit_code, 0);
  EXPECT_EQ(back.err, "File loaded.\nFile saved.\n");
  const Bytes in = read_bytes(dir.file("in.bmp")), out = read_bytes(dir.file("back.bmp"));
  ASSERT_EQ(out.size(), in.size());
  EXPECT_TRUE(std::equal(in.begin() + 54, in.end(), out.begin() + 54));  // the rows
}

TEST_F(Convert, ErrorsAndExitCodes) {
  struct Case {
    const char* name;
    std::string args;
    int exit_code;
    std::string err_prefix;
    bool output_written;
  };
  write_bytes(dir.file("text.bmp"), Bytes{'h', 'e', 'l', 'l', 'o'});
  const std::string in_jpg = dir.file("in.jpg"), in_bmp = dir.file("in.bmp"),
                    out = dir.file("out.bmp");
  Bytes tall = read_bytes(in_bmp);
  put_le(tall, 22, 0x80000000u, 4);  // the most negative height
  write_bytes(dir.file("tall.bmp"), tall);
  const Case cases[] = {
      {"not a picture", dir.file("text.bmp") + " " + out, 1, "Error: unrecognized file\n", false},
      {"missing input", dir.file("none.jpg") + " " + out, 1, "Error: unrecognized file\n", false},
      {"BMP larger than the store", in_bmp + " " + out + " --max 2,2", 1,
       "Error: size is too large\n", false},
      {"JPEG wider than the store: what fits is saved", in_jpg + " " + out + " --max 16,16", 1,
       "Error: size is too large\nFile saved.\n", true},
      {"8 bits without a palette", in_bmp + " " + out + " --depth 8", 1,
       "File loaded.\nError: not palettized\n", false},
      {"folder that does not exist", in_bmp + " " + dir.file("no/out.bmp"), 1,
       "File loaded.\nError: file not saved\n", false},
      {"no arguments", "", 2, "veldran-convert: ", false},
      {"one argument", in_bmp, 2, "veldran-convert: ", false},
      {"three arguments", in_bmp + " " + out + " x", 2, "veldran-convert: ", false},
      {"bad depth", in_bmp + " " + out + " --depth 15", 2, "veldran-convert: ", false},
      {"bad size", in_bmp + " " + out + " --max 0,5", 2, "veldran-convert: ", false},
      {"size without comma", in_bmp + " " + out + " --max 5", 2, "veldran-convert: ", false},
      {"missing value", in_bmp + " " + out + " --depth", 2, "veldran-convert: ", false},
      {"unknown option", in_bmp + " " + out + " --flip", 2, "veldran-convert: ", false},
      {"flag with a value", in_bmp + " " + out + " --flip-x=1", 2, "veldran-convert: ", false},
      {"resize without height", in_bmp + " " + out + " --resize 5", 2, "veldran-convert: ", false},
      {"resize to no width", in_bmp + " " + out + " --resize 0,5", 2, "veldran-convert: ", false},
      {"resize to the most negative width", in_bmp + " " + out + " --resize=-2147483648,5", 2,
       "veldran-convert: ", false},
      {"a BMP of the most negative height: nothing to save", dir.file("tall.bmp") + " " + out, 1,
       "File loaded.\nError: file not saved\n", false},
      {"levels with two values", in_bmp + " " + out + " --levels 4,4", 2,
       "veldran-convert: ", false},
      {"unknown dithering", in_bmp + " " + out + " --dither random", 2, "veldran-convert: ", false},
      {"contrast not a number", in_bmp + " " + out + " --contrast x", 2,
       "veldran-convert: ", false},
      {"refused resize: the run goes on", in_bmp + " " + out + " --resize 99999,2", 1,
       "File loaded.\nError: size is too large\nFile saved.\n", true},
      {"angle not a number", in_bmp + " " + out + " --rotate x", 2, "veldran-convert: ", false},
      {"angle not finite", in_bmp + " " + out + " --rotate inf", 2, "veldran-convert: ", false},
      {"crop of no width", in_bmp + " " + out + " --crop 0,0,0,2", 2, "veldran-convert: ", false},
      {"crop of three values", in_bmp + " " + out + " --crop 0,0,2", 2, "veldran-convert: ", false},
      {"crop beside the picture", in_bmp + " " + out + " --crop 3,0,2,2", 1,
       "File loaded.\nveldran-convert: --crop misses the picture\nFile saved.\n", true},
      {"rotation beyond the store", in_bmp + " " + out + " --max 3,2 --rotate 90", 1,
       "File loaded.\nError: size is too large\nFile saved.\n", true},
      {"8 bits with a palette", in_bmp + " " + out + " --depth 8 --palette 4", 0,
       "File loaded.\nFile saved.\n", true},
      {"8 bits with palettes per zone",
       in_jpg + " " + out + " --depth 8 --palette 4 --palettes 3 --zone 8,4", 0,
       "File loaded.\nFile saved.\n", true},
      {"palettes without a palette size", in_bmp + " " + out + " --palettes 4", 2,
       "veldran-convert: ", false},
      {"zone without palettes", in_bmp + " " + out + " --palette 4 --zone 8,8", 2,
       "veldran-convert: ", false},
      {"zone without height", in_bmp + " " + out + " --palette 4 --palettes 2 --zone 8", 2,
       "veldran-convert: ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(out);
    const Outcome o = run(dir, c.args);
    EXPECT_EQ(o.exit_code, c.exit_code);
    EXPECT_EQ(o.err.substr(0, c.err_prefix.size()), c.err_prefix) << o.err;
    if (c.exit_code == 2) {
      EXPECT_NE(o.err.find("usage: veldran-convert IN OUT ["), std::string::npos);
    }
    EXPECT_EQ(std::filesystem::exists(out), c.output_written);
  }
  // The picture cut to the store is 16 wide (the blocks that fit) and 12 tall.
  run(dir, in_jpg + " " + out + " --max 16,16");
  const Bytes b = read_bytes(out);
  EXPECT_EQ(get_le(b, 18, 4), 16u);
  EXPECT_EQ(get_le(b, 22, 4), 12u);

  const Outcome help = run(dir, "--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.substr(0, 7), "usage: ");
}

}  // namespace
}  // namespace formats_test
