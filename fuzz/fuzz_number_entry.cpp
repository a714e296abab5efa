// Fuzz target: number entry. The typing rules alone (every sequence of characters gives a
// finite value within the field's reach, equal to the digits read as a decimal number), and
// the modal entry in a running App: keystrokes, Enter, Esc, Tab chains, left presses and
// the close request, with the values stored checked against the rules.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "core/app.h"
#include "core/startup.h"
#include "fuzz_support.h"
#include "menu/typed_number.h"
#include "platform/keys.h"
#include "platform/scripted_screen.h"

namespace fuzz {

// The rules restated in double precision from the accepted characters.
inline bool typed_number_behaves(const std::string& characters) {
  menu::TypedNumber typed;
  std::string accepted;
  for (const char c : characters) {
    const int before = typed.count();
    const bool taken = typed.type(c);
    if (taken != (typed.count() == before + 1)) return false;
    if (taken) accepted += c;
    if (typed.full() && typed.type('1')) return false;  // nothing more once full
  }
  if (typed.count() > menu::kNumberFieldLength) return false;
  double digits = 0.0;
  bool negative = false;
  std::size_t last_point = std::string::npos;
  for (std::size_t i = 0; i < accepted.size(); ++i) {
    const char c = accepted[i];
    if (c >= '0' && c <= '9') digits = digits * 10.0 + (c - '0');
    if (c == '-') negative = true;
    if (c == '.') last_point = i;
  }
  const int places =
      last_point == std::string::npos ? 0 : static_cast<int>(accepted.size() - 1 - last_point);
  const double exact = (negative ? -digits : digits) / std::pow(10.0, places);
  const float v = typed.value();
  if (!std::isfinite(v) || std::fabs(v) > 9999999.0f) return false;
  if (std::fabs(v - exact) > 1e-6 * std::fabs(exact) + 1e-12) return false;
  const std::int32_t stored = menu::typed_integer(v);
  return std::fabs(stored - static_cast<double>(v)) <= 0.5;
}

struct EntryChain {
  const char* hotkeys;     // after an Alt press: reaches the first value
  std::vector<int> slots;  // the values Tab moves through, in list order
};

bool number_entry_input(const ScratchSettings& settings, const std::uint8_t* data,
                        std::size_t size) {
  if (size == 0) return true;
  std::string characters(reinterpret_cast<const char*>(data), size);
  if (!typed_number_behaves(characters)) return false;

  static const EntryChain kChains[] = {
      {"cc", {6, 7, 8, 9, 10}},  // Colors: Contrast to Blue add
      {"era", {52}},             // Edit, Rotate image: Angle (a real)
      {"ese", {4, 5}},           // Edit, reSize image: nEw x, neW y
  };
  static constexpr char kTyped[] = "0123456789.-0123456789.-x ";
  const EntryChain& chain = kChains[data[0] % 3];

  platform::ScriptedScreen screen;
  core::App app(screen);
  std::string error;
  std::vector<std::string> warnings;
  if (!core::start_up(app, settings.path(), "", error, warnings)) return false;
  const core::Menus defaults;
  screen.hold({platform::scan::kAlt}).hold({}).keys(chain.hotkeys);

  // The expected values, worked out alongside the script.
  std::vector<float> expected;
  for (const int slot : chain.slots) expected.push_back(defaults.value_as_real(slot));
  std::size_t at = 0;
  menu::TypedNumber typed;
  bool running = true;
  auto store = [&] {
    const int slot = chain.slots[at];
    const float v = typed.value();
    expected[at] = core::Menus::is_real_slot(slot) ? v : static_cast<float>(menu::typed_integer(v));
  };
  for (std::size_t i = 1; i < size && running; ++i) {
    const std::uint8_t b = data[i];
    if (b < 0xC0) {
      const char c = kTyped[b % (sizeof kTyped - 1)];
      screen.key(std::string(1, c));
      if (typed.type(c) && typed.full()) {
        store();
        running = false;
      }
    } else if (b < 0xD0 || (b >= 0xF0 && b < 0xF4)) {
      if (b < 0xD0) {
        screen.key("\r");
      } else {
        screen.mouse(100 + b % 4, 150, 1);  // a left press ends the entry like Enter
      }
      store();
      running = false;
    } else if (b < 0xE0) {
      screen.key("\x1b");
      running = false;
    } else if (b < 0xF0) {
      screen.key("\t");
      store();
      typed = menu::TypedNumber{};
      running = ++at < chain.slots.size();
    } else {
      screen.extended(b % 2 ? platform::scan::kUp : platform::scan::kRight);  // ignored
    }
  }
  // A script that runs out reads as the close request: the value being typed is dropped.
  int passes = 0;
  while (veldran::run_pass(app) != menu::PassEnd::kQuit) {
    if (++passes > static_cast<int>(size) * 2 + 64) return false;
  }
  for (std::size_t k = 0; k < chain.slots.size(); ++k) {
    const float got = app.menus.value_as_real(chain.slots[k]);
    if (got != expected[k]) {
      std::fprintf(stderr, "slot %d holds %g, expected %g\n", chain.slots[k], got, expected[k]);
      return false;
    }
  }
  return true;
}

bool number_entry_input(const std::uint8_t* data, std::size_t size) {
  static const ScratchSettings settings("mode = 13\r\ncdep = 32\r\nmaxh = 64\r\nmaxv = 64\r\n");
  return number_entry_input(settings, data, size);
}

}  // namespace fuzz
