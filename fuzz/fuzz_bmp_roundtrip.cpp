// Fuzz target: a picture, a depth and a palette made from the input are saved as a BMP,
// loaded back, and every pixel checked against what the format can hold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "fuzz_support.h"

namespace fuzz {

// Input layout: depth selector, width, height, pal_size low byte and high bit, then
// 256 colour keys (3 bytes each, as many as present) and the pixels (3 bytes each).
bool bmp_roundtrip_input(const std::uint8_t* data, std::size_t size) {
  constexpr std::int32_t kMax = 64;
  static img::ImageStore* stores[2] = {nullptr, nullptr};
  for (img::ImageStore*& s : stores) {
    if (s == nullptr) {
      s = new img::ImageStore;
      std::string error;
      if (!s->allocate(kMax, kMax, error)) __builtin_trap();
    }
  }
  if (size < 5) return true;
  static const int kDepths[3] = {24, 16, 8};
  const int depth = kDepths[data[0] % 3];
  const std::int32_t width = data[1] % (kMax + 1);
  const std::int32_t height = data[2] % (kMax + 1);
  const std::int32_t pal_size = data[3] + ((data[4] & 1) ? 256 : 0) - ((data[4] & 2) ? 300 : 0);
  std::size_t at = 5;
  auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };

  std::vector<std::uint32_t> keys(256);
  for (std::uint32_t& k : keys) k = (next() | (next() << 8) | (next() << 16)) & 0x3FFFF;
  img::ImageStore& source = *stores[0];
  const img::Plane plane = source.working();
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      plane.at(x, y) = img::make_pixel(next(), next(), next());
    }
  }

  static const std::string path =
      "/tmp/veldran-fuzz-roundtrip-" + std::to_string(::getpid()) + ".bmp";
  const platform::Status saved =
      formats::save_bmp(path, depth, plane, width, height, keys, pal_size, source.row_buffer());
  // A picture without pixels is never saved; every other one is.
  if (width < 1 || height < 1) return saved == platform::Status::kFileNotSaved;
  if (saved != platform::Status::kFileSaved) return false;
  img::ImageStore& back = *stores[1];
  const auto decoder = std::make_unique<formats::JpegDecoder>();
  const std::uintmax_t file_size = std::filesystem::file_size(path);
  const formats::LoadResult r = formats::load_picture(path, back, *decoder);
  std::remove(path.c_str());
  const std::int64_t stride = formats::bmp_stride(depth, width);
  const std::size_t expected_size = 54 + (depth == 8 ? 1024 : 0) + stride * height;
  if (r.message != platform::Status::kFileLoaded || back.width != width || back.height != height ||
      file_size < expected_size) {
    return false;
  }

  const std::int32_t n = pal_size < 0 ? 0 : (pal_size > 256 ? 256 : pal_size);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const img::Pixel p = plane.at(x, y);
      img::Pixel want = p;
      if (depth == 16) {
        want = p & 0xF8F8F8;
      } else if (depth == 8) {
        const std::uint32_t key =
            ((img::blue_of(p) >> 2) << 12) + ((img::green_of(p) >> 2) << 6) + (img::red_of(p) >> 2);
        std::int32_t index = n % 256;
        for (std::int32_t k = 0; k < n; ++k) {
          if (keys[k] == key) {
            index = k;
            break;
          }
        }
        const std::uint32_t e = keys[index];
        want = img::make_pixel((e & 63) * 4, ((e >> 6) & 63) * 4, ((e >> 12) & 63) * 4);
      }
      if (back.working().at(x, y) != want) return false;
    }
  }
  return true;
}

}  // namespace fuzz
