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

// The step of a present that comes before drawing the menus: counts the frame in benchmark
// mode and gives a focused panel with no selection its first entry (or takes the focus away
// when the panel is gone).
void prepare_menus(core::App& app);
void draw_menus(const core::App& app);
void draw_status_line(const core::App& app);
// While the crop Tool has a selection: "crop W x H at X,Y" on the text row below the status
// line (picture pixels, X and Y from the top-left corner).
void draw_crop_size(const core::App& app);

// A slot value as the value field shows it (at most 7 characters, or "big num").
std::string format_value(float value);

}  // namespace menu
