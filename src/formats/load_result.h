// The outcome of a load: the status message and whether the requested name became current.
#pragma once

#include "platform/status.h"

namespace formats {

struct LoadResult {
  platform::Status message = platform::Status::kNone;  // kUnrecognizedFile, kSizeTooLarge,
                                                       // kJpegDecodeError, kPictureDamaged
                                                       // or kFileLoaded
  bool name_taken = false;  // true when the current name must become the requested name
};

}  // namespace formats
