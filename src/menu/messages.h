// The status line's texts: one for each status code, 25 characters wide.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/status.h"

namespace menu {

using platform::Status;

constexpr int kMessageWidth = 25;

// The message's text, blank-padded to 25 characters.
constexpr std::string_view message_text(Status m) {
  switch (m) {
    case Status::kNone:
      return "                         ";
    case Status::kCanceled:
      return "Canceled.                ";
    case Status::kUnrecognizedFile:
      return "Error: unrecognized file ";
    case Status::kSizeTooLarge:
      return "Error: size is too large ";
    case Status::kJpegDecodeError:
      return "Error: JPEG decode error ";
    case Status::kFileSaved:
      return "File saved.              ";
    case Status::kFileLoaded:
      return "File loaded.             ";
    case Status::kNotPalettized:
      return "Error: not palettized    ";
    case Status::kFileNotSaved:
      return "Error: file not saved    ";
    case Status::kPictureDamaged:
      return "Error: picture damaged   ";
  }
  return "                         ";
}

// The text without its padding, for command-line tools.
constexpr std::string_view message_trimmed(Status m) {
  std::string_view s = message_text(m);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace menu
