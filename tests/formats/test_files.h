// Small helpers for the picture-file tests: whole-file reads and writes and an image store,
// with the shared temporary folder and BMP builder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/image_store.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace formats_test {

using support::bmp_file;
using support::Bytes;
using support::get_le;
using support::put_le;
using support::TempDir;

inline Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
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
