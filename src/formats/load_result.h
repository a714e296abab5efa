// The outcome of a load: the status message and whether the requested name became current.
#pragma once

#include "menu/messages.h"

namespace formats {

struct LoadResult {
  menu::Message message = menu::Message::kNone;  // kUnrecognizedFile, kSizeTooLarge,
                                                 // kJpegDecodeError or kFileLoaded
  bool name_taken = false;  // true when the current name must become the requested name
};

}  // namespace formats
