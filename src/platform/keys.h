// Keystrokes as the program sees them: "" for none, one character for an ordinary key,
// or two characters, code 255 and a scan code, for an extended key.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr char kExtendedPrefix = static_cast<char>(255);

namespace scan {
constexpr int kF1 = 59, kF2 = 60, kF3 = 61, kF4 = 62, kF11 = 133, kF12 = 134;
constexpr int kCtrlF4 = 97, kClose = 107;
constexpr int kUp = 72, kDown = 80, kLeft = 75, kRight = 77;
constexpr int kPageUp = 73, kPageDown = 81, kHome = 71, kEnd = 79;
// Held-key tests.
constexpr int kAlt = 56, kLeftShift = 42, kRightShift = 54;
}  // namespace scan

constexpr char kEnter = 13, kTab = 9, kEscape = 27, kBackspace = 8;

// Ctrl+Z and Ctrl+Y arrive as the control characters they type (26 and 25).
constexpr char kUndoKey = 26, kRedoKey = 25;

inline std::string extended_key(int scan_code) {
  return std::string{kExtendedPrefix, static_cast<char>(scan_code)};
}

// The scan code of an extended keystroke, or -1 for anything else.
inline int extended_scan(std::string_view key) {
  if (key.size() == 2 && key[0] == kExtendedPrefix) return static_cast<unsigned char>(key[1]);
  return -1;
}

inline bool is_extended(std::string_view key, int scan_code) {
  return extended_scan(key) == scan_code;
}

}  // namespace platform
