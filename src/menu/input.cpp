#include "menu/input.h"

#include <algorithm>

#include "core/browse.h"
#include "core/crop_tool.h"
#include "core/operations.h"
#include "menu/dispatch.h"
#include "platform/keys.h"

namespace menu {

namespace {

namespace scan = platform::scan;

constexpr int kLastTitle = 3;  // the menu bar's four titles are entries 0 to 3

// Where the pass goes after a step: on through the keys, to the mouse view control, to the
// end-of-pass bookkeeping, or straight to the next pass.
enum class Next { kGoOn, kMouseView, kEndOfPass, kNextPass, kQuit };

Next after(Activation a) {
  switch (a) {
    case Activation::kMenusRedrawn:
      return Next::kMouseView;
    case Activation::kPassEnded:
      return Next::kEndOfPass;
    case Activation::kQuit:
      return Next::kQuit;
  }
  return Next::kEndOfPass;
}

// F3 and F4 step through the folder; true when a picture was loaded.
bool browse(core::App& app, int scan_code) {
  return scan_code == scan::kF3 ? core::previous_file(app) : core::next_file(app);
}

// Up and Down in a drop-down: step through the list, wrapping at both ends, until an entry
// of the active panel is reached.
void move_in_panel(Menus& menus, int step) {
  MenuState& st = menus.state;
  if (menus.first_entry_of_panel(st.active_panel) < 0) return;  // nothing to land on
  int s = st.selected_entry;
  do {
    s += step;
    if (s < 0) s = menus.count() - 1;
    if (s >= menus.count()) s = 0;
  } while (menus.entry(s).panel != st.active_panel);
  st.selected_entry = static_cast<std::int16_t>(s);
}

// Tab: the next higher open drop-down, then out of the menus.
void cycle_focus(Menus& menus) {
  MenuState& st = menus.state;
  if (st.active_panel == -1) st.active_panel = 0;
  int next = -1;
  for (int i = 0; i < menus.count(); ++i) {
    const int p = menus.entry(i).panel;
    if (p > st.active_panel && (next == -1 || p < next)) next = p;
  }
  st.active_panel = static_cast<std::int16_t>(next);
  st.selected_entry = -1;
}

int hotkey_entry(const Menus& menus, const std::string& key) {
  if (key.size() != 1 || key[0] == ' ') return -1;
  for (int i = 0; i < menus.count(); ++i) {
    const OpenEntry& e = menus.entry(i);
    if (e.panel == menus.state.active_panel && e.item->hotkey != 0 && e.item->hotkey == key[0]) {
      return i;
    }
  }
  return -1;
}

// Moves the dragged drop-down by the whole cells the pointer travelled, keeping it off the
// last column and the last row; the part of a cell left over carries to the next pass.
void drag_step(core::App& app) {
  Menus& menus = app.menus;
  core::MouseState& m = app.mouse;
  const core::ScreenRecord& r = app.screen_record;
  const int h = r.row_height;
  int dx = (m.raw_x - m.raw_drag_origin_x) / 8;
  int dy = (m.raw_y - m.raw_drag_origin_y) / h;
  if (dx == 0 && dy == 0) return;
  const int p = menus.state.dragged_panel;
  // Entries keep their cell in bytes: on a grid of more than 255 columns or rows a drop-down
  // stops at the 255th instead of wrapping round to the other side.
  const int columns = std::min(r.text_columns, 255), rows = std::min(r.text_rows, 255);
  for (int i = 0; i < menus.count(); ++i) {
    const OpenEntry& e = menus.entry(i);
    if (e.panel != p) continue;
    if (e.column + dx < 1) dx = 1 - e.column;
    if (e.column + dx + e.width > columns) dx = columns - e.column - e.width;
    if (e.row + dy < 1) dy = 1 - e.row;
    if (e.row + dy + 1 > rows) dy = rows - e.row - 1;
  }
  // A grid too small for the drop-down: never move an entry off the top or the left.
  for (int i = 0; i < menus.count(); ++i) {
    const OpenEntry& e = menus.entry(i);
    if (e.panel != p) continue;
    if (e.column + dx < 1) dx = 0;
    if (e.row + dy < 1) dy = 0;
  }
  for (int i = 0; i < menus.count(); ++i) {
    OpenEntry& e = menus.entry(i);
    if (e.panel != p) continue;
    e.column = static_cast<std::uint8_t>(e.column + dx);
    e.row = static_cast<std::uint8_t>(e.row + dy);
  }
  m.raw_drag_origin_x += dx * 8;
  m.raw_drag_origin_y += dy * h;
  app.frame.present_request = true;
}

// The keys, in their fixed order, up to the activation by Enter or hotkey.
Next keys(core::App& app) {
  Menus& menus = app.menus;
  MenuState& st = menus.state;
  core::FrameState& f = app.frame;
  const std::string& key = app.keystroke;
  const int scan_code = platform::extended_scan(key);

  if (scan_code == scan::kF2) core::fit_to_screen(app);
  if ((scan_code == scan::kF3 || scan_code == scan::kF4) && browse(app, scan_code)) {
    f.reprocess_request = true;
    return Next::kNextPass;
  }
  if (key.size() == 1 && (key[0] == platform::kUndoKey || key[0] == platform::kRedoKey)) {
    // Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo, whatever has the focus.
    const bool shift =
        app.screen.is_held(scan::kLeftShift) || app.screen.is_held(scan::kRightShift);
    const bool forward = key[0] == platform::kRedoKey || shift;
    if (forward ? core::redo(app) : core::undo(app)) return Next::kNextPass;
  }
  if (scan_code == scan::kF11) {
    st.menus_hidden = static_cast<std::uint8_t>(1 - st.menus_hidden);
    f.present_request = true;
  }
  menus.integer(slot::kDebug1) = st.active_panel;
  menus.integer(slot::kDebug2) = st.selected_entry;
  menus.integer(slot::kDebug3) = static_cast<std::int32_t>(menus.option_flags);
  if (scan_code == scan::kF12) {
    menus.open_panel(core::panel_id::kDebug);
    f.present_request = true;
    return Next::kMouseView;
  }
  if (scan_code == scan::kClose) return Next::kQuit;
  if (scan_code == scan::kCtrlF4 && st.active_panel > 0) {
    menus.close_panel(st.active_panel);
    f.present_request = true;
    return Next::kMouseView;
  }

  if (st.active_panel == 0) {
    if (scan_code == scan::kDown) {
      if (st.selected_entry != -1) return after(activate(app, st.selected_entry));
    } else if (scan_code == scan::kLeft) {
      --st.selected_entry;
      f.present_request = true;
    } else if (scan_code == scan::kRight) {
      ++st.selected_entry;
      f.present_request = true;
    }
    if (st.selected_entry < 0) st.selected_entry = kLastTitle;
    if (st.selected_entry > kLastTitle) st.selected_entry = 0;
  }
  if (st.active_panel > 0 && (scan_code == scan::kUp || scan_code == scan::kDown)) {
    move_in_panel(menus, scan_code == scan::kUp ? -1 : 1);
    f.present_request = true;
  }
  if (key.size() == 1 && key[0] == platform::kTab && st.active_panel != 0) {
    cycle_focus(menus);
    f.present_request = true;
  }
  if (f.present_request) return Next::kEndOfPass;

  if (core::crop_key(app, key)) return Next::kEndOfPass;
  if (key.size() == 1 && key[0] == platform::kEnter && st.selected_entry != -1) {
    return after(activate(app, st.selected_entry));
  }
  const int hotkey = hotkey_entry(menus, key);
  if (hotkey >= 0) return after(activate(app, hotkey));
  return Next::kGoOn;
}

// The mouse on the menus: right-button drags of drop-downs and left clicks on any entry.
Next mouse_on_menus(core::App& app) {
  Menus& menus = app.menus;
  MenuState& st = menus.state;
  core::MouseState& m = app.mouse;
  const int h = app.screen_record.row_height;

  if ((m.buttons & 2) == 0) {
    st.dragged_panel = 0;
  } else if (st.dragged_panel > 0) {
    drag_step(app);
    return Next::kNextPass;
  } else if (m.right_press != 0) {
    const int i = menus.entry_at_point(m.raw_x, m.raw_y, h);
    if (i >= 0 && menus.entry(i).panel > 0) {
      st.dragged_panel = menus.entry(i).panel;
      return Next::kEndOfPass;
    }
  }
  if (m.left_press != 0) {
    const int i = menus.entry_at_point(m.raw_x, m.raw_y, h);
    if (i >= 0) {
      st.menu_click_held = 1;
      return after(activate(app, i));
    }
  }
  return Next::kGoOn;
}

Next input_steps(core::App& app) {
  Next next = keys(app);
  if (next != Next::kGoOn) return next;

  MenuState& st = app.menus.state;
  if ((app.mouse.buttons & 1) == 0) st.menu_click_held = 0;
  const int scan_code = platform::extended_scan(app.keystroke);
  if (!app.option(option::kLockView) && st.active_panel == -1 && scan_code >= 0 &&
      core::view_key(app, scan_code)) {
    return Next::kMouseView;
  }
  next = mouse_on_menus(app);
  if (next != Next::kGoOn) return next;
  core::crop_press(app);
  return Next::kMouseView;
}

}  // namespace

void alt_check(core::App& app) {
  MenuState& st = app.menus.state;
  const bool held = app.screen.is_held(scan::kAlt);
  if (held && st.alt_was_down == 0) {
    app.frame.present_request = true;
    st.selected_entry = -1;
    st.active_panel = st.active_panel != 0 ? 0 : -1;
  }
  st.alt_was_down = held ? 1 : 0;
}

PassEnd input_pass(core::App& app) {
  switch (input_steps(app)) {
    case Next::kQuit:
      return PassEnd::kQuit;
    case Next::kNextPass:
      return PassEnd::kNextPass;
    case Next::kMouseView:
      // A crop Tool drag takes the left button's pan.
      if (app.menus.state.menu_click_held == 0 && !core::crop_drag(app) &&
          !app.option(option::kLockView)) {
        core::mouse_view(app);
      }
      return PassEnd::kEndOfPass;
    case Next::kGoOn:
    case Next::kEndOfPass:
      break;
  }
  return PassEnd::kEndOfPass;
}

}  // namespace menu
