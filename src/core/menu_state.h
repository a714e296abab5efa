// The menus' live state: the open-entry list (what is on screen and where), the focus and
// selection, the option flags the check boxes toggle and the value slots the values show.
#pragma once

#include <array>
#include <cstdint>

#include "core/menu_table.h"
#include "platform/status.h"

namespace core {

struct OpenEntry {
  std::uint8_t column = 0;  // text column of the first character, from 1
  std::uint8_t row = 0;     // text row, from 1
  std::uint8_t width = 0;
  const MenuItem* item = nullptr;
  std::uint8_t panel = 0;
};

struct MenuState {
  std::int16_t active_panel = -1;    // -1 inactive, 0 menu bar, 1..9 a drop-down
  std::int16_t selected_entry = -1;  // index into the open-entry list, -1 none
  std::uint8_t menus_hidden = 0;
  std::uint8_t dragged_panel = 0;
  std::uint8_t menu_click_held = 0;
  std::int32_t alt_was_down = 0;
  platform::Status status_message = platform::Status::kNone;
};

constexpr int kOpenEntryCapacity = 200;
constexpr int kIntegerSlots = 50;
constexpr int kRealSlots = 16;  // slots 50 to 65
constexpr std::uint32_t kInitialOptions = 0x200;

class Menus {
 public:
  Menus();  // the four menu-bar titles, initial state, options and values

  int count() const { return count_; }
  const OpenEntry& entry(int i) const { return entries_[static_cast<std::size_t>(i)]; }
  OpenEntry& entry(int i) { return entries_[static_cast<std::size_t>(i)]; }

  MenuState state;
  std::uint32_t option_flags = kInitialOptions;

  bool option(int bit) const { return (option_flags >> bit) & 1u; }
  void toggle_option(int bit) { option_flags ^= 1u << bit; }

  // Value slots: 0..49 integers, 50.. single-precision reals.
  static bool is_real_slot(int slot) { return slot >= slot::kFirstReal; }
  std::int32_t& integer(int slot) { return integers_[static_cast<std::size_t>(slot)]; }
  std::int32_t integer(int slot) const { return integers_[static_cast<std::size_t>(slot)]; }
  float& real(int slot) { return reals_[static_cast<std::size_t>(slot - slot::kFirstReal)]; }
  float real(int slot) const { return reals_[static_cast<std::size_t>(slot - slot::kFirstReal)]; }
  // A slot's value as a single-precision real (integers converted).
  float value_as_real(int slot) const {
    return is_real_slot(slot) ? real(slot) : static_cast<float>(integer(slot));
  }

  void open_panel(int p);
  void close_panel(int p);
  // The first entry under the screen pixel (x, y), or -1; rows are row_height pixels high.
  int entry_at_point(int x, int y, int row_height) const;
  int first_entry_of_panel(int p) const;
  bool panel_is_open(int p) const { return first_entry_of_panel(p) >= 0; }

 private:
  std::array<OpenEntry, kOpenEntryCapacity> entries_{};
  int count_ = 0;
  std::array<std::int32_t, kIntegerSlots> integers_{};
  std::array<float, kRealSlots> reals_{};
};

}  // namespace core
