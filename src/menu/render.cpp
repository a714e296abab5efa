#include "menu/render.h"

#include <string_view>

#include "core/crop_tool.h"
#include "menu/messages.h"
#include "platform/screen.h"
#include "platform/utf8.h"

namespace menu {

namespace {

constexpr std::size_t kValueLength = 7;  // characters of a formatted value, sign and point included
constexpr std::size_t kShownNameLength = 24;
constexpr int kStatusRow = 23;
constexpr int kCropSizeRow = 24;

using core::Colour;

Colour text_colour(Kind kind) {
  switch (kind) {
    case Kind::kOpener:
      return Colour::kLightBlue;
    case Kind::kCheckBox:
      return Colour::kLightGreen;
    case Kind::kCommand:
      return Colour::kLightRed;
    case Kind::kLabel:
    case Kind::kShownValue:
    case Kind::kEditedValue:
      return Colour::kGrey;
  }
  return Colour::kGrey;
}

// The rounded ends of the selection bar: four one-pixel lines on each side, each shorter
// than the one inside it by a pixel at top and bottom.
void draw_selection_caps(const core::App& app, const OpenEntry& e, std::uint32_t colour) {
  const int h = app.screen_record.row_height;
  const int left = (e.column - 1) * 8;
  const int right = left + e.width * 8;
  const int top = (e.row - 1) * h;
  const int bottom = e.row * h - 1;
  for (int k = 0; k < 4; ++k) {
    app.screen.line(left - 1 - k, top + k, left - 1 - k, bottom - k, colour);
    app.screen.line(right + k, top + k, right + k, bottom - k, colour);
  }
}

void draw_entry(const core::App& app, int index) {
  platform::Screen& s = app.screen;
  const OpenEntry& e = app.menus.entry(index);
  const MenuItem& item = *e.item;

  const std::uint32_t foreground = app.colour(text_colour(item.kind));
  std::uint32_t background = app.colour(Colour::kBlack);
  if (index == app.menus.state.selected_entry) {
    background = app.colour(Colour::kLightGrey);
    draw_selection_caps(app, e, background);
  }
  s.set_colours(foreground, background);
  s.locate(e.row, e.column);
  s.print(item.label.substr(0, e.width));

  if (item.kind == Kind::kCheckBox && app.menus.option(item.argument)) {
    s.locate(e.row, e.column + 1);
    s.print("X");
  }
  if (item.kind == Kind::kShownValue || item.kind == Kind::kEditedValue) {
    if (item.kind == Kind::kEditedValue)
      s.set_colours(app.colour(Colour::kLightGrey), app.colour(Colour::kDarkBlue));
    const std::string text = format_value(app.menus.value_as_real(item.argument));
    const std::string field = std::string(kValueLength - text.size(), ' ') + text;
    s.locate(e.row, value_field_column(e));
    s.print(field);
  }
}

}  // namespace

std::string format_value(float value) {
  // Single precision throughout: digits are cut from the real as it is held, never rounded.
  float limit = 10000000.0f;
  std::string text;
  if (value < 0.0f) {
    value = -value;
    limit = 1000000.0f;
    text = "-";
  }
  if (value >= limit) return "big num";
  bool started = false;
  for (;;) {
    if (limit == 1.0f) {
      if (value == 0.0f) break;
      text += '.';
      started = true;
      if (text.size() == kValueLength) break;
    }
    limit = limit / 10.0f;
    if (value >= limit) started = true;
    if (!started) continue;
    int digit = 0;
    while (value >= limit) {
      value = value - limit;
      ++digit;
    }
    text += static_cast<char>('0' + digit);
    if (text.size() == kValueLength) break;
  }
  if (!started) text += '0';
  return text;
}

void prepare_menus(core::App& app) {
  Menus& menus = app.menus;
  if (app.frame.interaction_mode == core::kBenchmarkMode) app.frame.frame_counter += 1.0;
  // Auto-select: a panel that has the focus always shows a selection.
  MenuState& st = menus.state;
  if (st.active_panel != -1 && st.selected_entry == -1) {
    const int first = menus.first_entry_of_panel(st.active_panel);
    if (first >= 0) {
      st.selected_entry = static_cast<std::int16_t>(first);
    } else {
      st.active_panel = -1;
    }
  }
}

void draw_menus(const core::App& app) {
  platform::Screen& s = app.screen;
  const Menus& menus = app.menus;

  s.set_colours(app.colour(Colour::kLightGreen), app.colour(Colour::kBlack));
  s.locate(1, 3);
  s.print("current file: " +
          std::string(platform::first_characters(app.current_name, kShownNameLength)));

  const core::FrameState& f = app.frame;
  if (f.interaction_mode == core::kBenchmarkMode) {
    const double now = s.timer();
    if (now > f.benchmark_start) {
      s.locate(3, 3);
      s.print("FPS (R-click to end) " +
              platform::format_number(f.frame_counter / (now - f.benchmark_start)));
    }
  }

  for (int i = 0; i < menus.count(); ++i) draw_entry(app, i);
}

void draw_status_line(const core::App& app) {
  platform::Screen& s = app.screen;
  s.set_colours(app.colour(Colour::kLightGreen), app.colour(Colour::kBlack));
  const Status m = app.menus.state.status_message;
  if (m == Status::kNone) return;
  s.locate(kStatusRow, 1);
  s.print(message_text(m));
}

void draw_crop_size(const core::App& app) {
  const img::PixelRect r = core::crop_selection(app);
  if (r.w < 1 || app.screen_record.text_rows < kCropSizeRow) return;
  platform::Screen& s = app.screen;
  s.set_colours(app.colour(Colour::kLightGreen), app.colour(Colour::kBlack));
  s.locate(kCropSizeRow, 1);
  s.print("crop " + std::to_string(r.w) + " x " + std::to_string(r.h) + " at " +
          std::to_string(r.x) + "," + std::to_string(r.y));
}

}  // namespace menu
