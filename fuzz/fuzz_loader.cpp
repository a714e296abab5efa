// Fuzz target: any bytes through the loader (BMP and JPEG share the entry) into a small
// image store. Each input is loaded twice by one decoder, so the second load also runs on
// the tables the first one left behind.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "formats/loader.h"
#include "fuzz_support.h"

namespace fuzz {

// Returns true when the load behaved: a known message and a size inside the store.
bool loader_input(const std::uint8_t* data, std::size_t size) {
  static img::ImageStore* store = [] {
    auto* s = new img::ImageStore;
    std::string error;
    if (!s->allocate(256, 256, error)) __builtin_trap();
    return s;
  }();
  const auto decoder = std::make_unique<formats::JpegDecoder>();
  for (int pass = 0; pass < 2; ++pass) {
    store->width = 0;
    store->height = 0;
    const formats::LoadResult r =
        formats::load_picture_bytes(std::span(data, size), *store, *decoder);
    switch (r.message) {
      case platform::Status::kUnrecognizedFile:
      case platform::Status::kJpegDecodeError:
      case platform::Status::kSizeTooLarge:
      case platform::Status::kFileLoaded:
        break;
      default:
        return false;
    }
    if (store->width > store->maxh || store->height > store->maxv) return false;
  }
  return true;
}

}  // namespace fuzz
