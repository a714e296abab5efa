// Drawing the interface over the presented frame: the current-file line, the frame-rate
// line of benchmark mode, every open entry, and the status line.
#pragma once

#include <string>

#include "core/app.h"
#include "menu/model.h"

namespace menu {

// A value entry shows its value in its last 7 columns.
constexpr int kValueFieldWidth = 7;
inline int value_field_column(const OpenEntry& e) {
  return e.column + e.width - kValueFieldWidth;
}

void draw_menus(core::App& app);
void draw_status_line(core::App& app);

// A slot value as the value field shows it (at most 7 characters, or "big num").
std::string format_value(float value);

}  // namespace menu
