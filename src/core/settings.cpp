#include "core/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/files.h"

namespace core {

std::string_view default_settings_text() {
  static constexpr std::string_view kText =
      "'''' settings file for VELDRAN\r\n"
      "''''\r\n"
      "'''' screen modes:\r\n"
      "''''\r\n"
      "''''    13 - 320x200    14 - 320x240    15 - 400x300\r\n"
      "''''    16 - 512x384    17 - 640x400    18 - 640x480\r\n"
      "''''    19 - 800x600    20 - 1024x768   21 - 1280x1024\r\n"
      "''''\r\n"
      "'''' or specify custom mode with 8 digits eg. 11520864\r\n"
      "''''\r\n"
      "mode = 19\r\n"
      "\r\n"
      "'''' color depth: 8,15,16, or 32\r\n"
      "''''\r\n"
      "cdep = 32\r\n"
      "\r\n"
      "'''' maxh, maxv\r\n"
      "'''' the maximum dimensions of a bitmap\r\n"
      "'''' determines how much memory is allocated\r\n"
      "''''\r\n"
      "maxh = 4096\r\n"
      "maxv = 4096\r\n";
  return kText;
}

namespace {

// Skips everything up to the first digit, then takes digits; a CR before any digit ends
// the value at 0, any other byte after a digit ends it.
std::int32_t parse_value(std::span<const std::uint8_t> bytes, std::size_t& pos) {
  std::int64_t value = 0;
  int digits = 0;
  while (pos < bytes.size()) {
    const std::uint8_t b = bytes[pos++];
    if (b == 0x0D) break;
    if (b >= '0' && b <= '9') {
      value = value * 10 + (b - '0');
      if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
      }
      ++digits;
      continue;
    }
    if (digits != 0) break;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

void parse_settings(std::span<const std::uint8_t> bytes, Settings& settings) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // The key is the next four bytes, compared as text ending at its first zero byte.
    char key[5] = {};
    for (int i = 0; i < 4 && pos < bytes.size(); ++i) key[i] = static_cast<char>(bytes[pos++]);
    const std::string_view k(key, std::strlen(key));
    if (k == "mode") settings.mode = parse_value(bytes, pos);
    if (k == "cdep") settings.cdep = parse_value(bytes, pos);
    if (k == "maxh") settings.maxh = parse_value(bytes, pos);
    if (k == "maxv") settings.maxv = parse_value(bytes, pos);
    if (k == "orie") settings.orie = parse_value(bytes, pos);
    // Skip to just past the next LF; a file that ends first ends the walk.
    bool found_lf = false;
    while (pos < bytes.size()) {
      if (bytes[pos++] == 0x0A) {
        found_lf = true;
        break;
      }
    }
    if (!found_lf) break;
  }
}

void read_or_create_settings(const std::string& path, Settings& settings, std::string& warning) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    warning = path + " is a folder, not a settings file; using the built-in settings";
    return;
  }
  // A named pipe or a device would block the start or never end; only files are read.
  if (exists && !S_ISREG(st.st_mode)) {
    warning = path + " is not a plain file; using the built-in settings";
    return;
  }
  std::vector<std::uint8_t> bytes;
  if (platform::read_file(path, kLargestSettingsFile, bytes)) {
    if (!bytes.empty()) {
      parse_settings(bytes, settings);
      return;
    }
  } else if (errno != ENOENT && exists) {
    warning =
        "cannot read " + path + " (" + std::strerror(errno) + "); using the built-in settings";
    return;
  }
  // Missing or empty: write the default text; this run keeps the built-in values.
  const std::string_view text = default_settings_text();
  (void)platform::save_file(path,
                            {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace core
