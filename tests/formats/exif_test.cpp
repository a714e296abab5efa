// Photographs turned upright by their Exif orientation tag: all eight orientations against
// plain index transforms of the untagged decode, and damaged Exif blocks that load as stored.
#include "formats/exif.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "formats/jpeg/decoder.h"
#include "formats/loader.h"
#include "test_files.h"

namespace {

using formats_test::Bytes;
using platform::Status;

Bytes sample() {
  return formats_test::read_bytes(std::string(VELDRAN_SOURCE_DIR) + "/samples/p03_640x480_420.jpg");
}

// An Exif payload ("Exif\0\0", TIFF header, one IFD) holding one entry; `edit` may damage it.
Bytes exif_payload(bool big_endian, int tag, int type, std::uint32_t count, int value,
                   const std::function<void(Bytes&)>& edit = {}) {
  Bytes p = {'E', 'x', 'i', 'f', 0, 0};
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = big_endian ? 8 * (bytes - 1 - i) : 8 * i;
      p.push_back(static_cast<std::uint8_t>(v >> shift));
    }
  };
  p.push_back(big_endian ? 'M' : 'I');
  p.push_back(big_endian ? 'M' : 'I');
  put(42, 2);
  put(8, 4);  // the first IFD follows the header
  put(1, 2);
  put(static_cast<std::uint32_t>(tag), 2);
  put(static_cast<std::uint32_t>(type), 2);
  put(count, 4);
  put(static_cast<std::uint32_t>(value), 2);
  put(0, 2);
  put(0, 4);  // no next IFD
  if (edit) edit(p);
  return p;
}

// The sample with an APP1 segment holding `payload` right after the start of image.
Bytes with_app1(const Bytes& jpeg, const Bytes& payload) {
  const std::size_t length = payload.size() + 2;
  Bytes out = {0xFF,
               0xD8,
               0xFF,
               0xE1,
               static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length & 0xFF)};
  out.reserve(jpeg.size() + length + 2);
  for (const std::uint8_t b : payload) out.push_back(b);
  for (std::size_t i = 2; i < jpeg.size(); ++i) out.push_back(jpeg[i]);
  return out;
}

struct Decoded {
  Status status;
  std::int32_t width, height;
  std::vector<img::Pixel> pixels;  // row by row
};

Decoded decode(const Bytes& file, std::int32_t maxh, std::int32_t maxv, bool upright = true) {
  img::ImageStore store;
  formats_test::make_store(store, maxh, maxv);
  auto jpeg = std::make_unique<formats::JpegDecoder>();
  jpeg->set_upright(upright);
  const Status status = formats::load_picture_bytes(file, store, *jpeg).message;
  Decoded d{status, store.width, store.height, {}};
  for (std::int32_t y = 0; y < store.height; ++y) {
    for (std::int32_t x = 0; x < store.width; ++x) d.pixels.push_back(store.working().at(x, y));
  }
  return d;
}

TEST(Exif, EachOrientationIsTheIndexTransformOfTheStoredPicture) {
  const Bytes plain = sample();
  const Decoded stored = decode(plain, 700, 700);
  ASSERT_EQ(stored.status, Status::kFileLoaded);
  const std::int32_t w = stored.width, h = stored.height;
  // Where upright pixel (x, y) comes from in the stored picture, for each orientation.
  using Source = std::function<std::pair<int, int>(int, int)>;
  const Source from[9] = {
      {},
      [&](int x, int y) {
        return std::pair{x, y};
      },
      [&](int x, int y) {
        return std::pair{w - 1 - x, y};
      },
      [&](int x, int y) {
        return std::pair{w - 1 - x, h - 1 - y};
      },
      [&](int x, int y) {
        return std::pair{x, h - 1 - y};
      },
      [&](int x, int y) {
        return std::pair{y, x};
      },
      [&](int x, int y) {
        return std::pair{y, h - 1 - x};
      },
      [&](int x, int y) {
        return std::pair{w - 1 - y, h - 1 - x};
      },
      [&](int x, int y) {
        return std::pair{w - 1 - y, x};
      },
  };
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const bool big_endian : {false, true}) {
      SCOPED_TRACE(testing::Message() << "orientation " << orientation << " big " << big_endian);
      const Decoded d =
          decode(with_app1(plain, exif_payload(big_endian, 0x0112, 3, 1, orientation)), 700, 700);
      ASSERT_EQ(d.status, Status::kFileLoaded);
      const bool swapped = orientation >= 5;
      ASSERT_EQ(d.width, swapped ? h : w);
      ASSERT_EQ(d.height, swapped ? w : h);
      int wrong = 0;
      for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) {
          const auto [sx, sy] = from[orientation](x, y);
          wrong += d.pixels[static_cast<std::size_t>(y) * d.width + x] !=
                   stored.pixels[static_cast<std::size_t>(sy) * w + sx];
        }
      }
      EXPECT_EQ(wrong, 0);
    }
  }
  // Turned off, the tag is ignored.
  const Decoded kept =
      decode(with_app1(plain, exif_payload(false, 0x0112, 3, 1, 6)), 700, 700, false);
  EXPECT_EQ(kept.pixels, stored.pixels);
}

// An upright picture that does not fit the store stays as stored, reported too large.
TEST(Exif, UprightSizeIsCheckedAgainstTheStore) {
  const Decoded d = decode(with_app1(sample(), exif_payload(false, 0x0112, 3, 1, 8)), 700, 500);
  EXPECT_EQ(d.status, Status::kSizeTooLarge);
  EXPECT_EQ(d.width, 640);
  EXPECT_EQ(d.height, 480);
}

TEST(Exif, DamagedBlocksMeanAsStored) {
  auto at = [](std::size_t i, std::uint8_t v) { return [=](Bytes& p) { p.at(i) = v; }; };
  const struct {
    const char* name;
    Bytes payload;
  } cases[] = {
      {"wrong byte order mark", exif_payload(false, 0x0112, 3, 1, 6, at(6, 'X'))},
      {"mixed byte order mark", exif_payload(false, 0x0112, 3, 1, 6, at(7, 'M'))},
      {"wrong magic number", exif_payload(false, 0x0112, 3, 1, 6, at(8, 43))},
      {"IFD offset past the segment", exif_payload(false, 0x0112, 3, 1, 6, at(12, 200))},
      {"entry cut off", exif_payload(false, 0x0112, 3, 1, 6, [](Bytes& p) { p.resize(26); })},
      {"tag count 65535", exif_payload(false, 0x0112, 3, 65535, 6)},
      {"IFD entry count 65535",
       exif_payload(false, 0x0110, 3, 1, 6, [](Bytes& p) { p.at(14) = p.at(15) = 0xFF; })},
      {"not a short", exif_payload(false, 0x0112, 4, 1, 6)},
      {"orientation 0", exif_payload(false, 0x0112, 3, 1, 0)},
      {"orientation 9", exif_payload(false, 0x0112, 3, 1, 9)},
      {"another tag", exif_payload(false, 0x0110, 3, 1, 6)},
      {"not Exif", exif_payload(false, 0x0112, 3, 1, 6, at(0, 'e'))},
      {"only the signature", Bytes{'E', 'x', 'i', 'f', 0, 0}},
  };
  const Bytes plain = sample();
  const Decoded stored = decode(plain, 700, 700);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(formats::exif_orientation(c.payload), 1);
    const Decoded d = decode(with_app1(plain, c.payload), 700, 700);
    EXPECT_EQ(d.status, Status::kFileLoaded);
    EXPECT_EQ(d.pixels, stored.pixels);
  }
}

}  // namespace
