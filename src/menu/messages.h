// The message table: every success and failure reaches the user as one of these.
#pragma once

#include <cstdint>
#include <string_view>

namespace menu {

enum class Message : std::uint8_t {
  kNone = 0,
  kCanceled = 1,
  kUnrecognizedFile = 2,
  kSizeTooLarge = 3,
  kJpegDecodeError = 4,
  kFileSaved = 5,
  kFileLoaded = 6,
  kNotPalettized = 7,
  kFileNotSaved = 8,
};

constexpr int kMessageWidth = 25;

// The message's text, blank-padded to 25 characters.
constexpr std::string_view message_text(Message m) {
  switch (m) {
    case Message::kNone:
      return "                         ";
    case Message::kCanceled:
      return "Canceled.                ";
    case Message::kUnrecognizedFile:
      return "Error: unrecognized file ";
    case Message::kSizeTooLarge:
      return "Error: size is too large ";
    case Message::kJpegDecodeError:
      return "Error: JPEG decode error ";
    case Message::kFileSaved:
      return "File saved.              ";
    case Message::kFileLoaded:
      return "File loaded.             ";
    case Message::kNotPalettized:
      return "Error: not palettized    ";
    case Message::kFileNotSaved:
      return "Error: file not saved    ";
  }
  return "                         ";
}

// The text without its padding, for command-line tools.
constexpr std::string_view message_trimmed(Message m) {
  std::string_view s = message_text(m);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace menu
