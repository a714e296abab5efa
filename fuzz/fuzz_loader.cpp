// Fuzz target: any bytes through the loader (BMP, JPEG, PNG, GIF and WebP share the entry)
// into a small image store. Each input is loaded twice by one decoder, so the second load
// also runs on the tables the first one left behind.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "formats/loader.h"
#include "fuzz_support.h"

namespace fuzz {

// Returns true when the load behaved: a known message, a size inside the store, and a
// picture left as it was when the file was unrecognised or damaged.
bool loader_input(const std::uint8_t* data, std::size_t size) {
  static img::ImageStore* store = [] {
    auto* s = new img::ImageStore;
    std::string error;
    if (!s->allocate(256, 256, error)) __builtin_trap();
    return s;
  }();
  const auto decoder = std::make_unique<formats::JpegDecoder>();
  for (int pass = 0; pass < 2; ++pass) {
    store->width = 3;
    store->height = 2;
    const formats::LoadResult r =
        formats::load_picture_bytes(std::span(data, size), *store, *decoder);
    switch (r.message) {
      case platform::Status::kUnrecognizedFile:
      case platform::Status::kPictureDamaged:
        if (store->width != 3 || store->height != 2 || r.name_taken) return false;
        break;
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
