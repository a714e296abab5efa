// Joins the App's state to the pure routines of formats/ and image/.
#include "core/operations.h"

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "core/crop_tool.h"
#include "core/menu_table.h"
#include "core/prefetch.h"
#include "formats/loader.h"
#include "formats/save.h"
#include "image/colour_settings.h"
#include "image/compose.h"
#include "image/flip.h"
#include "image/multipalette.h"
#include "image/palette.h"
#include "image/pipeline.h"
#include "image/present.h"
#include "image/resize.h"
#include "image/rotate.h"
#include "image/view.h"
#include "image/view_controls.h"
#include "platform/keys.h"

namespace core {

// Tables and scratch that live as long as the App: the JPEG decoder (with its basis table,
// built once), the compose's workspace, the palette list, the multipalette stage and the
// workers that prepare the next picture and the one before.
struct Engines {
  formats::JpegDecoder jpeg;
  Prefetcher prefetch;       // in the browsing direction
  Prefetcher prefetch_back;  // the other way, when memory and a second core allow
  img::ComposeWorkspace compose;
  img::PaletteList palette;
  img::Multipalette multipalette;
};

App::App(platform::Screen& s) : screen(s), engines(std::make_unique<Engines>()) {}
App::~App() = default;

bool prepare_engines(App& app, std::string& error) {
  app.engines->jpeg.set_upright(app.settings.orie != 0);
  const std::int32_t span = std::max(app.store.maxh, app.screen_record.width);
  if (!app.engines->compose.reserve(app.store.maxh, span) || !app.engines->palette.ok() ||
      !app.engines->multipalette.reserve(app.store.maxh, app.store.maxv)) {
    error = "cannot allocate the working memory of the view and the palette stage";
    return false;
  }
  // The prepared picture and its readers' scratch take two more planes beside the store's
  // two and undo's two; it is left out when the six do not fit in the machine's memory. The
  // picture the other way takes two more again, and a second core so that it never slows
  // the first.
  const std::uint64_t memory = img::physical_memory_bytes();
  const std::uint64_t two_planes = History::bytes_for(app.store.maxh, app.store.maxv);
  if (memory == 0 || 3 * two_planes <= memory) {
    app.engines->prefetch.start(app.store.maxh, app.store.maxv, app.settings.orie != 0);
    if ((memory == 0 || 4 * two_planes <= memory) && std::thread::hardware_concurrency() >= 2) {
      app.engines->prefetch_back.start(app.store.maxh, app.store.maxv, app.settings.orie != 0);
    }
  }
  return true;
}

namespace {

img::ColourSettings colour_settings(const App& app) {
  const Menus& m = app.menus;
  img::ColourSettings s;
  s.adjust_color = m.option(option::kAdjustColor);
  s.adjust_depth = m.option(option::kAdjustDepth);
  s.use_palette = m.option(option::kUsePalette);
  s.multipalette = m.option(option::kMultipalette);
  s.intensity_bit = m.option(option::kIntensityBit);
  s.greyscale = m.option(option::kGreyscale);
  s.dithering = m.option(option::kDithering);
  s.floyd_steinberg = m.option(option::kFloydSteinberg);
  s.contrast = m.integer(slot::kContrast);
  s.brightness = m.integer(slot::kBrightness);
  s.red_add = m.integer(slot::kRedAdd);
  s.green_add = m.integer(slot::kGreenAdd);
  s.blue_add = m.integer(slot::kBlueAdd);
  s.red_levels = m.integer(slot::kRedLevels);
  s.green_levels = m.integer(slot::kGreenLevels);
  s.blue_levels = m.integer(slot::kBlueLevels);
  s.pal_size = m.integer(slot::kPalSize);
  s.palettes = m.integer(slot::kPalettes);
  s.zone_width = m.integer(slot::kZoneWidth);
  s.zone_height = m.integer(slot::kZoneHeight);
  return s;
}

// The plane the view shows and saves: the processed image when any stage is on.
img::ConstPlane shown_plane(const App& app) {
  return img::shows_processed(colour_settings(app)) ? app.store.processed() : app.store.working();
}

void request_redraw(App& app, img::Redraw redraw) {
  app.frame.redraw_request = img::combine_redraw(app.frame.redraw_request, redraw);
}

}  // namespace

namespace {

void take_load_result(App& app, const formats::LoadResult& r) {
  app.frame.neighbour_request = true;
  app.set_status(r.message);
  if (r.name_taken) {
    app.current_name = app.requested_name;
    app.history.clear();  // another picture: its edits start afresh
    drop_crop_selection(app);
    app.broken_picture = false;
  } else if (r.picture_touched) {
    app.broken_picture = true;
    app.history.clear();  // the picture is no longer the one the history started from
    drop_crop_selection(app);
  }
}

}  // namespace

void load_requested_picture(App& app) {
  take_load_result(app, formats::load_picture(app.requested_name, app.store, app.engines->jpeg));
}

void load_browsed_picture(App& app) {
  Engines& e = *app.engines;
  // Each worker answers only for the step it prepared.
  std::optional<formats::LoadResult> prepared = e.prefetch.take(
      app.current_name, app.browsing_forward, app.requested_name, app.store, e.jpeg);
  if (!prepared) {
    prepared = e.prefetch_back.take(app.current_name, app.browsing_forward, app.requested_name,
                                    app.store, e.jpeg);
  }
  if (prepared) {
    take_load_result(app, *prepared);
  } else {
    load_requested_picture(app);
  }
}

void prepare_neighbour(App& app) {
  Engines& e = *app.engines;
  e.prefetch.request(app.current_name, app.browsing_forward, e.jpeg.tables());
  e.prefetch_back.request(app.current_name, !app.browsing_forward, e.jpeg.tables());
}

void run_pipeline(App& app) {
  const img::ColourSettings settings = colour_settings(app);
  // With every stage off the view and the saves read the working image itself: no copy.
  if (!img::shows_processed(settings)) return;
  const std::int32_t palette_count =
      img::run_pipeline(app.store, settings, app.engines->palette, app.engines->multipalette);
  if (palette_count >= 0) app.menus.integer(slot::kPalCount) = palette_count;
}

void update_view(App& app) {
  const bool fit_first =
      app.option(core::option::kAutomatic) && app.status() == platform::Status::kFileLoaded;
  img::view_update(app.view, app.frame.redraw_request, fit_first, shown_plane(app), app.store.width,
                   app.store.height, app.back_plane(), app.screen_record.width,
                   app.screen_record.height, app.engines->compose);
  app.menus.integer(slot::kHOffset) = app.view.h_offset;
  app.menus.integer(slot::kVOffset) = app.view.v_offset;
  // The mouse zooms from the previous scaling and aspect; a fit after a load replaced them,
  // so a right press without moving must find the fitted ones, not the last picture's.
  if (fit_first) {
    app.previous_scaling = app.view.scaling;
    app.previous_aspect = app.view.aspect;
  }
}

void present_back_buffer(App& app) {
  img::present(app.back_buffer.data(), app.screen.framebuffer(),
               static_cast<std::int64_t>(app.back_buffer.size()), app.screen_record.depth);
}

void save_picture(App& app, int depth) {
  if (app.broken_picture) {
    app.set_status(platform::Status::kFileNotSaved);
    return;
  }
  // With Multipalette on, the processed image holds the multipalette stage's result.
  const img::ZonedPalettes zones = app.engines->multipalette.result();
  const bool zoned = app.option(option::kMultipalette) && app.option(option::kUsePalette);
  app.set_status(formats::save_picture(app.current_name, depth, shown_plane(app), app.store.width,
                                       app.store.height, app.engines->palette.keys(),
                                       app.menus.integer(slot::kPalSize), app.store.row_buffer(),
                                       {}, zoned ? &zones : nullptr));
}

void fit_to_screen(App& app) {
  if (img::fit_to_screen(app.view, app.store.width, app.store.height, app.screen_record.width,
                         app.screen_record.height)) {
    request_redraw(app, img::Redraw::kFull);
  }
}

void original_size(App& app) {
  img::original_size(app.view);
  request_redraw(app, img::Redraw::kFull);
}

void flip_x(App& app) {
  app.history.before_change(app.store, app.view);
  img::flip_x(app.store);
  drop_crop_selection(app);
  app.frame.reprocess_request = true;
}

void flip_y(App& app) {
  app.history.before_change(app.store, app.view);
  img::flip_y(app.store);
  drop_crop_selection(app);
  app.frame.reprocess_request = true;
}

void resize_picture(App& app) {
  app.history.before_change(app.store, app.view);
  const platform::Status m =
      img::resize_picture(app.store, app.menus.integer(slot::kNewX), app.menus.integer(slot::kNewY),
                          app.engines->compose);
  if (m != platform::Status::kNone) {
    app.history.change_refused();
    app.set_status(m);
    return;
  }
  drop_crop_selection(app);
  app.frame.reprocess_request = true;
}

bool rotate_picture(App& app) {
  const std::int32_t w = app.store.width, h = app.store.height;
  const float angle = app.menus.real(slot::kAngle);
  if (!app.store.has_picture() || img::plan_rotation(w, h, angle).quarter_turns == 0) return false;
  app.history.before_change(app.store, app.view);
  const platform::Status m = img::rotate_picture(app.store, angle);
  if (m != platform::Status::kNone) {
    app.history.change_refused();
    app.set_status(m);
    return false;
  }
  drop_crop_selection(app);
  app.frame.reprocess_request = true;
  if (app.option(option::kAutomatic)) fit_to_screen(app);
  return true;
}

namespace {

// After undo or redo: the view the state was kept with when the picture keeps its size,
// otherwise the automatic fit, as after a load.
bool step_history(App& app, bool forward) {
  const std::int32_t w = app.store.width, h = app.store.height;
  img::ViewState view = app.view;
  const bool moved =
      forward ? app.history.redo(app.store, view) : app.history.undo(app.store, view);
  if (!moved) return false;
  drop_crop_selection(app);
  if (app.store.width == w && app.store.height == h) {
    app.view = view;
  } else if (app.option(option::kAutomatic)) {
    fit_to_screen(app);
  }
  request_redraw(app, img::Redraw::kFull);
  app.frame.reprocess_request = true;
  return true;
}

}  // namespace

bool undo(App& app) {
  return step_history(app, false);
}

bool redo(App& app) {
  return step_history(app, true);
}

bool view_key(App& app, int scan_code) {
  const bool shift = app.screen.is_held(platform::scan::kLeftShift) ||
                     app.screen.is_held(platform::scan::kRightShift);
  const img::Redraw redraw = img::view_key(app.view, scan_code, shift);
  if (redraw == img::Redraw::kNone) return false;
  request_redraw(app, redraw);
  return true;
}

void mouse_view(App& app) {
  if (app.option(core::option::kLockView)) return;
  const MouseState& m = app.mouse;
  const img::Redraw redraw =
      img::mouse_view(app.view, m.buttons, m.x - m.drag_origin_x, m.y - m.drag_origin_y,
                      app.previous_scaling, app.previous_aspect, app.screen_record.width);
  request_redraw(app, redraw);
}

}  // namespace core
