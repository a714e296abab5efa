// Small helpers for the picture-file tests: a temporary folder, whole-file reads and
// writes, little-endian BMP files built field by field, and an image store.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/image_store.h"

namespace formats_test {

using Bytes = std::vector<std::uint8_t>;

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldran-fmt-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline void put_le(Bytes& b, std::size_t at, std::uint32_t v, int width) {
  if (b.size() < at + width) b.resize(at + width);
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint32_t get_le(const Bytes& b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = 0; i < width; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  return v;
}

// A BMP header naming width, height and bits per pixel (other fields zero, as the reader
// ignores them), followed by `body` (palette and rows, bottom row first).
inline Bytes bmp_file(std::int32_t width, std::int32_t height, int bits, const Bytes& body) {
  Bytes b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  put_le(b, 18, static_cast<std::uint32_t>(width), 4);
  put_le(b, 22, static_cast<std::uint32_t>(height), 4);
  put_le(b, 26, 1, 2);
  put_le(b, 28, static_cast<std::uint32_t>(bits), 2);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// An image store whose working plane is filled with a marker colour.
inline void make_store(img::ImageStore& store, std::int32_t maxh, std::int32_t maxv,
                       img::Pixel fill = 0x00ABCDEF) {
  std::string error;
  if (!store.allocate(maxh, maxv, error)) std::abort();
  for (std::int32_t y = 0; y < maxv; ++y) {
    for (std::int32_t x = 0; x < maxh; ++x) store.working().at(x, y) = fill;
  }
}

}  // namespace formats_test
