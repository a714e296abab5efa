// The outcome of a load: the status message and whether the requested name became current.
#pragma once

#include "platform/status.h"

namespace formats {

struct LoadResult {
  platform::Status message = platform::Status::kNone;  // kUnrecognizedFile, kSizeTooLarge,
                                                       // kJpegDecodeError, kPictureDamaged
                                                       // or kFileLoaded
  bool name_taken = false;  // true when the current name must become the requested name
  // False when a failed load left the picture as it was; a reader that fails after it began
  // to replace the size or the pixels leaves it true.
  bool picture_touched = true;
};

}  // namespace formats
