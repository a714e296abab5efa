#include "core/menu_state.h"

namespace core {

namespace {
constexpr std::uint8_t kTitleColumns[4] = {2, 12, 22, 32};
}

Menus::Menus() {
  const Panel& bar = panel(0);
  for (std::size_t k = 0; k < bar.items.size(); ++k) {
    const MenuItem& item = bar.items[k];
    entries_[k] = OpenEntry{kTitleColumns[k], kMenuBarRow, item.width, &item, 0};
  }
  count_ = static_cast<int>(bar.items.size());
  integer(slot::kRedLevels) = 256;
  integer(slot::kGreenLevels) = 256;
  integer(slot::kBlueLevels) = 256;
  integer(slot::kPalSize) = 256;
}

int Menus::first_entry_of_panel(int p) const {
  for (int i = 0; i < count_; ++i) {
    if (entry(i).panel == p) return i;
  }
  return -1;
}

void Menus::open_panel(int p) {
  if (panel_is_open(p)) {
    state.active_panel = static_cast<std::int16_t>(p);
    state.selected_entry = static_cast<std::int16_t>(first_entry_of_panel(p));
    return;
  }
  if (state.active_panel != -1) state.active_panel = 0;
  const Panel& target = panel(p);
  // Every drop-down with an entry exactly on the home cell gives way; dragged ones stay.
  for (int i = 0; i < count_;) {
    const OpenEntry& e = entry(i);
    if (e.panel != 0 && e.column == target.home_column && e.row == target.home_row) {
      close_panel(e.panel);
      i = 0;  // the list changed under us: walk it again from the start
    } else {
      ++i;
    }
  }
  if (state.active_panel == 0) {
    state.active_panel = static_cast<std::int16_t>(p);
    state.selected_entry = -1;
  }
  for (std::size_t k = 0; k < target.items.size() && count_ < kOpenEntryCapacity; ++k) {
    const MenuItem& item = target.items[k];
    entries_[static_cast<std::size_t>(count_++)] =
        OpenEntry{target.home_column, static_cast<std::uint8_t>(target.home_row + k), item.width,
                  &item, target.number};
  }
}

void Menus::close_panel(int p) {
  if (p == 0) return;  // the menu bar stays
  if (state.active_panel == p) {
    state.active_panel = -1;
    state.selected_entry = -1;
  }
  // The selection follows its entry when entries before it go away, and is cleared when
  // its own entry goes.
  int selected = state.selected_entry;
  if (selected >= count_ || (selected >= 0 && entry(selected).panel == p)) selected = -1;
  int out = 0;
  for (int i = 0; i < count_; ++i) {
    if (entry(i).panel == p) continue;
    if (i == selected) selected = out;
    entries_[static_cast<std::size_t>(out++)] = entries_[static_cast<std::size_t>(i)];
  }
  count_ = out;
  state.selected_entry = static_cast<std::int16_t>(selected);
}

int Menus::entry_at_point(int x, int y, int row_height) const {
  for (int i = 0; i < count_; ++i) {
    const OpenEntry& e = entry(i);
    const int left = (e.column - 1) * 8;
    const int top = (e.row - 1) * row_height;
    if (left <= x && x <= left + e.width * 8 && top <= y && y < e.row * row_height) return i;
  }
  return -1;
}

}  // namespace core
