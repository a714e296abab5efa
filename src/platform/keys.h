// Keystrokes as the program sees them: "" for none, one typed character for an ordinary key
// (in UTF-8, so one to four bytes), or two bytes, code 255 and a scan code, for an extended
// key. Every key press is one keystroke, except the modifiers (Shift, Ctrl, Alt, AltGr and
// the locks); a key the program gives no meaning to (F5, Delete, Ctrl+A, ...) is an
// extended key that nothing acts on. A close of the window is one close request; Alt+F4 is
// two, so that it ends the program even where one close request counts as "any key" (the
// F1 reminder, benchmark mode).
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr char kExtendedPrefix = static_cast<char>(255);

namespace scan {
constexpr int kF1 = 59, kF2 = 60, kF3 = 61, kF4 = 62, kF11 = 133, kF12 = 134;
// Keys without a meaning: F5 to F10, Insert, Delete, and 0 for every other such key.
constexpr int kF5 = 63, kF6 = 64, kF7 = 65, kF8 = 66, kF9 = 67, kF10 = 68;
constexpr int kInsert = 82, kDelete = 83, kOtherKey = 0;
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
