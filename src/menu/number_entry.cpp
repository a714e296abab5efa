#include "menu/number_entry.h"

#include <string>

#include "core/mouse.h"
#include "menu/render.h"
#include "menu/typed_number.h"
#include "platform/keys.h"

namespace menu {

namespace {

constexpr int kPollPauseMs = 30;

enum class EditEnd { kFinished, kAdvance, kAbandoned };

void store(Menus& menus, int slot, float value) {
  if (Menus::is_real_slot(slot)) {
    menus.real(slot) = value;
  } else {
    menus.integer(slot) = typed_integer(value);
  }
}

// Edits one entry. Prints straight onto the screen: nothing is presented meanwhile.
EditEnd edit_one(core::App& app, int index) {
  platform::Screen& s = app.screen;
  const OpenEntry& e = app.menus.entry(index);
  const int row = e.row;
  const int field = value_field_column(e);
  s.set_colours(app.colour(core::Colour::kLightGrey), app.colour(core::Colour::kDarkBlue));
  s.locate(row, field);
  s.print("_      ");

  TypedNumber typed;
  EditEnd end = EditEnd::kFinished;
  for (;;) {
    core::poll_mouse(app);
    if (app.mouse.left_press != 0) break;
    const std::string key = s.read_key();
    if (key.empty()) {
      s.pause(kPollPauseMs);
      continue;
    }
    if (platform::is_extended(key, platform::scan::kClose)) {
      // The window is closing: give the request back to the main loop, which ends the program.
      s.push_back_key(key);
      return EditEnd::kAbandoned;
    }
    if (key.size() == 1) {
      const char c = key[0];
      if (c == platform::kEnter) break;
      if (c == platform::kEscape) return EditEnd::kAbandoned;
      if (c == platform::kTab) {
        end = EditEnd::kAdvance;
        break;
      }
      const int column = field + typed.count();
      if (typed.type(c)) {
        s.locate(row, column);
        s.print(std::string(1, c));
      }
    }
    if (typed.full()) break;
  }
  store(app.menus, e.item->argument, typed.value());
  return end;
}

int next_edited_value(const Menus& menus, int after) {
  for (int i = after + 1; i < menus.count(); ++i) {
    if (menus.entry(i).item->kind == Kind::kEditedValue) return i;
  }
  return -1;
}

}  // namespace

EntryEnd number_entry(core::App& app, int index) {
  bool stored = false;
  for (;;) {
    const EditEnd end = edit_one(app, index);
    if (end == EditEnd::kAbandoned) {
      app.frame.present_request = 1;
      // Values stored earlier in a Tab chain still reach the picture.
      if (stored) app.frame.reprocess_request = 1;
      return EntryEnd::kAbandoned;
    }
    stored = true;
    const int next = end == EditEnd::kAdvance ? next_edited_value(app.menus, index) : -1;
    if (next < 0) break;
    index = next;
  }
  app.frame.reprocess_request = 1;
  return EntryEnd::kStored;
}

}  // namespace menu
