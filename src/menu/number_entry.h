// Number entry: the inline editor of an edited value. It runs its own small loop with the
// frame frozen, reading digits, "." and "-" into the value field until Enter, Tab, a left
// click or the seventh character, or Esc, which keeps the old value.
#pragma once

#include "core/app.h"
#include "menu/model.h"

namespace menu {

enum class EntryEnd {
  kStored,     // a value was stored; the reprocess request is set
  kAbandoned,  // Esc (or the close request): the menus are to be redrawn
};

// Edits the value of open entry `index`; Tab moves on to the next edited value in list order.
EntryEnd number_entry(core::App& app, int index);

}  // namespace menu
