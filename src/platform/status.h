// Status codes: every success and failure an operation reports is one of these. Any layer
// may return one; the texts shown for them live with the drawing code.
#pragma once

#include <cstdint>

namespace platform {

enum class Status : std::uint8_t {
  kNone = 0,
  kCanceled = 1,
  kUnrecognizedFile = 2,
  kSizeTooLarge = 3,
  kJpegDecodeError = 4,
  kFileSaved = 5,
  kFileLoaded = 6,
  kNotPalettized = 7,
  kFileNotSaved = 8,
  kPictureDamaged = 9,
};

}  // namespace platform
