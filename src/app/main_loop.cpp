#include "app/main_loop.h"

#include "core/crop_tool.h"
#include "core/mouse.h"
#include "core/operations.h"
#include "menu/render.h"
#include "platform/keys.h"

namespace veldran {

using core::App;
using core::FrameState;
using core::MouseState;
using menu::PassEnd;

namespace {

constexpr int kIdlePauseMs = 40;

void present(App& app) {
  core::Menus& menus = app.menus;
  menus.integer(core::slot::kWidth) = app.store.width;
  menus.integer(core::slot::kHeight) = app.store.height;
  menus.real(core::slot::kAspect) = app.view.aspect;
  menus.real(core::slot::kScaling) = app.view.scaling;
  app.screen.lock();
  present_back_buffer(app);
  core::draw_crop_frame(app);
  if (menus.state.menus_hidden == 0) {
    menu::prepare_menus(app);
    menu::draw_menus(app);
    menu::draw_status_line(app);
    menu::draw_crop_size(app);
  }
  app.screen.unlock();
  menus.state.status_message = platform::Status::kNone;
  app.frame.present_request = false;
  if (app.shown_title != app.current_name) {
    app.shown_title = app.current_name;
    app.screen.set_title(app.current_name);
  }
}

void show_reminder(App& app) {
  static constexpr const char* kLines[12] = {
      " F1 (this reminder)",
      " F2 fit-to-screen",
      " F3 previous file",
      " F4 next file",
      "",
      " F11 hide menus",
      " ALT access menu bar",
      " arrows navigate menus or",
      "  scroll image",
      " TAB cycle active menu",
      " PGUP/PGDN/HOME/END",
      "  pixel aspect/zoom",
  };
  platform::Screen& s = app.screen;
  using core::Colour;
  s.set_colours(app.colour(Colour::kBlack), app.colour(Colour::kDarkGrey));
  s.locate(5, 6);
  s.print(std::string(28, ' '));
  for (int row = 6; row <= 17; ++row) {
    s.locate(row, 6);
    s.print(" ");
    s.locate(row, 33);
    s.print(" ");
  }
  s.locate(18, 6);
  s.print(std::string(28, ' '));
  s.set_colours(app.colour(Colour::kBlack), app.colour(Colour::kGrey));
  for (int i = 0; i < 12; ++i) {
    std::string text = kLines[i];
    text.resize(26, ' ');
    s.locate(6 + i, 7);
    s.print(text);
  }
  s.pause(-1);
  (void)s.read_key();
  app.frame.present_request = true;
}

// Every benchmark pass reloads, reprocesses and recomposes; a key or a right press ends it.
void benchmark_step(App& app) {
  app.frame.redraw_request = img::Redraw::kFull;
  if (app.screen.timer() > app.frame.benchmark_start + 4.0) {
    app.frame.benchmark_start = app.screen.timer();
    app.frame.frame_counter = 0.0;
  }
  if (app.mouse.right_press == 2) app.frame.interaction_mode = 0;
  if (!app.keystroke.empty()) app.frame.interaction_mode = 0;
  app.requested_name = app.current_name;
  load_requested_picture(app);
  app.frame.reprocess_request = true;
}

void end_of_pass(App& app) {
  MouseState& m = app.mouse;
  m.drag_origin_x = m.x;
  m.drag_origin_y = m.y;
  m.raw_drag_origin_x = m.raw_x;
  m.raw_drag_origin_y = m.raw_y;
  app.previous_scaling = app.view.scaling;
  app.previous_aspect = app.view.aspect;
}

bool mouse_unchanged(const MouseState& m) {
  return m.x == m.previous_x && m.y == m.previous_y && m.buttons == m.previous_buttons &&
         m.wheel == m.previous_wheel;
}

}  // namespace

PassEnd run_pass(App& app) {
  FrameState& f = app.frame;
  f.no_picture = app.store.has_picture() ? 0 : 1;
  if (f.reprocess_request) {
    run_pipeline(app);
    f.reprocess_request = false;
    f.redraw_request = img::Redraw::kFull;
  }
  if (f.redraw_request != img::Redraw::kNone) {
    if (f.no_picture == 0) update_view(app);
    f.redraw_request = img::Redraw::kNone;
    f.present_request = true;
  }
  if (f.present_request) present(app);
  // Benchmark passes reload the same picture: nothing to prepare.
  if (f.neighbour_request && f.interaction_mode != core::kBenchmarkMode) {
    core::prepare_neighbour(app);
  }
  f.neighbour_request = false;

  for (;;) {
    poll_mouse(app);
    app.keystroke = app.screen.read_key();
    if (f.interaction_mode == core::kBenchmarkMode) {
      benchmark_step(app);
      return PassEnd::kNextPass;
    }
    menu::alt_check(app);
    if (f.present_request) return PassEnd::kNextPass;
    if (app.keystroke.empty() && mouse_unchanged(app.mouse)) {
      // A file dropped onto the window opens as an answer to Open would.
      std::string dropped = app.screen.take_dropped_file();
      if (!dropped.empty()) {
        app.requested_name = std::move(dropped);
        load_requested_picture(app);
        f.reprocess_request = true;
        return PassEnd::kNextPass;
      }
      app.screen.pause(kIdlePauseMs);
      continue;
    }
    break;
  }

  if (platform::is_extended(app.keystroke, platform::scan::kF1)) {
    show_reminder(app);
    return PassEnd::kNextPass;
  }
  const PassEnd end = menu::input_pass(app);
  if (end == PassEnd::kEndOfPass) end_of_pass(app);
  return end;
}

int run_main_loop(App& app) {
  while (run_pass(app) != PassEnd::kQuit) {
  }
  return 0;
}

}  // namespace veldran
