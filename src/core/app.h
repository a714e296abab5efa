// The program's whole state: one App, made by start-up and passed by reference. A test may
// make as many as it likes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/colours.h"
#include "core/history.h"
#include "core/menu_state.h"
#include "core/settings.h"
#include "image/image_store.h"
#include "image/plane.h"
#include "image/view.h"
#include "platform/screen.h"

namespace core {

struct ScreenRecord {
  std::int32_t width = 0, height = 0, depth = 0;
  std::int32_t last_x = 0, last_y = 0;
  std::int32_t text_columns = 0, text_rows = 0;
  std::int32_t row_height = 0;  // height / text rows
};

struct FrameState {
  bool reprocess_request = true;
  img::Redraw redraw_request = img::Redraw::kNone;
  bool present_request = false;
  bool neighbour_request = false;  // a load happened: prepare the next picture once shown
  std::uint8_t no_picture = 1;
  std::uint8_t interaction_mode = 0;  // 0 normal, 5 benchmark
  double benchmark_start = 0.0;
  double frame_counter = 0.0;
};

constexpr std::uint8_t kBenchmarkMode = 5;

struct MouseState {
  std::int32_t raw_x = -1, raw_y = -1;
  std::int32_t x = 0, y = 0;
  std::int32_t wheel = 0, buttons = 0;
  std::int32_t previous_x = 0, previous_y = 0, previous_wheel = 0, previous_buttons = 0;
  std::uint8_t left_press = 0, right_press = 0;
  std::int32_t drag_origin_x = 0, drag_origin_y = 0;
  std::int32_t raw_drag_origin_x = 0, raw_drag_origin_y = 0;
};

// The crop Tool's selection in picture pixels, from the pixel under the press (anchor) to the
// pixel under the pointer (end), both included.
struct CropSelection {
  bool present = false;
  bool dragging = false;  // the left button is still down since the press that made it
  std::int32_t anchor_x = 0, anchor_y = 0, end_x = 0, end_y = 0;
};

// The decoders' and the palette stage's tables and scratch, owned through a pointer so that
// headers stay light.
struct Engines;

struct App {
  explicit App(platform::Screen& s);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  platform::Screen& screen;
  Settings settings;
  ScreenRecord screen_record;
  std::array<std::uint32_t, 16> interface_colours{};
  img::ImageStore store;
  History history;  // undo and redo of the operations that change the working image
  std::vector<img::Pixel> back_buffer;
  FrameState frame;
  MouseState mouse;
  img::ViewState view;
  CropSelection crop;
  float previous_scaling = 1.0f, previous_aspect = 1.0f;
  Menus menus;
  std::string keystroke;
  std::string current_name = "default.bmp";
  std::string requested_name;
  bool browsing_forward = true;  // F4 was the last browsing key, not F3
  // The picture comes from a load that failed part-way under another name: it is not the
  // current name's picture, so Save refuses to write it there.
  bool broken_picture = false;
  std::string shown_title;  // the window title last set
  std::unique_ptr<Engines> engines;

  img::Plane back_plane() { return {back_buffer.data(), screen_record.width}; }
  bool option(int bit) const { return menus.option(bit); }
  void set_status(platform::Status m) { menus.state.status_message = m; }
  platform::Status status() const { return menus.state.status_message; }
  std::uint32_t colour(Colour c) const { return interface_colours[static_cast<std::size_t>(c)]; }
};

}  // namespace core
