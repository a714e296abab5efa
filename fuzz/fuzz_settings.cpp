// Fuzz target: any bytes as the settings file. The reader must take only digits as values,
// saturate instead of overflowing, leave keys it does not find alone, read a record put in
// front of the bytes without changing what the bytes themselves say, and its mode must turn
// into a screen the program can open or be refused.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "core/display.h"
#include "core/settings.h"
#include "fuzz_support.h"

namespace fuzz {

bool settings_input(const std::uint8_t* data, std::size_t size) {
  constexpr std::int32_t kUnset = -7;  // no value the reader can produce
  const std::span<const std::uint8_t> bytes(data, size);
  core::Settings s{kUnset, kUnset, kUnset, kUnset};
  core::parse_settings(bytes, s);

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const struct {
    std::string_view key;
    std::int32_t core::Settings::*field;
  } kKeys[] = {{"mode", &core::Settings::mode},
               {"cdep", &core::Settings::cdep},
               {"maxh", &core::Settings::maxh},
               {"maxv", &core::Settings::maxv}};
  for (const auto& k : kKeys) {
    const std::int32_t v = s.*k.field;
    if (text.find(k.key) == std::string_view::npos) {
      if (v != kUnset) return false;  // a key that is not there was set
    } else if (v != kUnset && v < 0) {
      return false;  // values are digits only
    }
  }

  // A record in front: its key takes its value unless the bytes set it again, and every
  // other key reads as before.
  for (const auto& k : kKeys) {
    const std::int32_t value = size > 0 ? data[0] * 1000 + 7 : 42;
    std::vector<std::uint8_t> longer;
    const std::string record = std::string(k.key) + " = " + std::to_string(value) + "\r\n";
    longer.insert(longer.end(), record.begin(), record.end());
    longer.insert(longer.end(), data, data + size);
    core::Settings t{kUnset, kUnset, kUnset, kUnset};
    core::parse_settings(longer, t);
    for (const auto& other : kKeys) {
      const std::int32_t before = s.*other.field, after = t.*other.field;
      if (other.field == k.field && before == kUnset) {
        if (after != value) return false;
      } else if (after != before) {
        return false;
      }
    }
  }

  core::DisplayMode mode;
  if (core::display_mode(s.mode, mode)) {
    // Every mode accepted holds the widest and tallest panels' text grid.
    if (mode.columns < 34 || mode.rows < 23 || mode.width > 8192 || mode.height > 8192 ||
        mode.height / mode.rows < 8) {
      return false;
    }
  }
  return true;
}

}  // namespace fuzz
