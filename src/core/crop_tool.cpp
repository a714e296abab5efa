#include "core/crop_tool.h"

#include <algorithm>

#include "core/menu_table.h"
#include "core/operations.h"
#include "core/startup.h"
#include "image/view_controls.h"
#include "platform/keys.h"

namespace core {

namespace {

bool tool_ready(const App& app) {
  return app.option(option::kCropTool) && app.menus.state.active_panel == -1;
}

// Crops the working image to the selection; the automatic fit follows as after a load.
void crop_to_selection(App& app) {
  const img::PixelRect r = crop_selection(app);
  drop_crop_selection(app);
  app.history.before_change(app.store, app.view);
  if (!img::crop_picture(app.store, r)) {
    app.history.change_refused();
    return;
  }
  app.frame.reprocess_request = true;
  if (app.option(option::kAutomatic)) fit_to_screen(app);
}

// One side of the frame, from (x0, y) to (x1, y) or from (x, y0) to (x, y1), clipped to the
// screen: dashes of four pixels, black and white by (x + y) / 4, so that the frame shows on any
// picture and its dashes stay put on the screen when it grows.
void dashed_line(App& app, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                 std::uint32_t white) {
  const std::int64_t w = app.screen_record.width, h = app.screen_record.height;
  const bool across = y0 == y1;
  if (across ? (y0 < 0 || y0 >= h) : (x0 < 0 || x0 >= w)) return;
  std::int64_t from = across ? std::max<std::int64_t>(x0, 0) : std::max<std::int64_t>(y0, 0);
  const std::int64_t to = across ? std::min(x1, w - 1) : std::min(y1, h - 1);
  const std::int64_t other = across ? y0 : x0;
  while (from <= to) {
    const std::int64_t sum = from + other;
    const std::int64_t end = std::min(to, from + 3 - sum % 4);
    const std::uint32_t colour = (sum / 4) % 2 != 0 ? white : 0;
    const int a = static_cast<int>(from), b = static_cast<int>(end), c = static_cast<int>(other);
    if (across) {
      app.screen.line(a, c, b, c, colour);
    } else {
      app.screen.line(c, a, c, b, colour);
    }
    from = end + 1;
  }
}

}  // namespace

bool crop_press(App& app) {
  if (!tool_ready(app) || app.mouse.left_press == 0) return false;
  const MouseState& m = app.mouse;
  std::int32_t px = 0, py = 0;
  if (!app.store.has_picture() || m.raw_x < 0 || m.raw_y < 0 ||
      !img::picture_pixel_at(app.view, app.store.width, app.store.height, m.raw_x, m.raw_y, false,
                             px, py)) {
    drop_crop_selection(app);
    return false;
  }
  app.crop = {true, true, px, py, px, py};
  app.frame.present_request = true;
  return true;
}

bool crop_drag(App& app) {
  CropSelection& c = app.crop;
  if (!c.dragging) return false;
  if ((app.mouse.buttons & img::kLeftButton) == 0 || !tool_ready(app)) {
    c.dragging = false;
    return false;
  }
  if (app.mouse.buttons != img::kLeftButton) return false;  // zoom and aspect drags as ever
  std::int32_t px = 0, py = 0;
  if (img::picture_pixel_at(app.view, app.store.width, app.store.height, app.mouse.x, app.mouse.y,
                            true, px, py) &&
      (px != c.end_x || py != c.end_y)) {
    c.end_x = px;
    c.end_y = py;
    app.frame.present_request = true;
  }
  return true;
}

bool crop_key(App& app, const std::string& key) {
  if (!app.crop.present || app.menus.state.active_panel != -1 || key.size() != 1) return false;
  if (key[0] == platform::kEnter) {
    crop_to_selection(app);
    return true;
  }
  if (key[0] == platform::kEscape) {
    drop_crop_selection(app);
    return true;
  }
  return false;
}

void drop_crop_selection(App& app) {
  if (!app.crop.present) return;
  app.crop = {};
  app.frame.present_request = true;
}

img::PixelRect crop_selection(const App& app) {
  const CropSelection& c = app.crop;
  if (!c.present) return {};
  const std::int32_t x = std::min(c.anchor_x, c.end_x), y = std::min(c.anchor_y, c.end_y);
  return {x, y, std::max(c.anchor_x, c.end_x) - x + 1, std::max(c.anchor_y, c.end_y) - y + 1};
}

void draw_crop_frame(App& app) {
  if (!app.crop.present) return;
  const img::ScreenRect r =
      img::shown_rect(app.view, app.store.width, app.store.height, crop_selection(app));
  if (r.x1 < r.x0 || r.y1 < r.y0) return;
  const std::uint32_t white = app.screen.depth() == 8 ? palette_index_of(0xFFFFFF) : 0xFFFFFF;
  dashed_line(app, r.x0, r.y0, r.x1, r.y0, white);
  dashed_line(app, r.x0, r.y1, r.x1, r.y1, white);
  dashed_line(app, r.x0, r.y0, r.x0, r.y1, white);
  dashed_line(app, r.x1, r.y0, r.x1, r.y1, white);
}

}  // namespace core
