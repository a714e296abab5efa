// Joins the App's state to the pure routines of formats/ and image/.
#include "core/operations.h"

#include <array>
#include <vector>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "image/present.h"
#include "menu/menu_table.h"

namespace core {

// Tables and scratch that live as long as the App: the JPEG decoder (with its basis table,
// built once), the file buffer that loads reuse, and the palette list.
struct Engines {
  formats::JpegDecoder jpeg;
  std::vector<std::uint8_t> file_buffer;
  std::array<std::uint32_t, 256> palette_keys{};  // interim until the palette stage lands
};

App::App(platform::Screen& s) : screen(s), engines(std::make_unique<Engines>()) {}
App::~App() = default;

namespace {

// The plane the view shows and saves: the processed image when any stage is on.
bool processed_in_use(const App& app) {
  return app.option(menu::option::kAdjustColor) || app.option(menu::option::kAdjustDepth) ||
         app.option(menu::option::kUsePalette);
}

}  // namespace

void load_requested_picture(App& app) {
  const formats::LoadResult r = formats::load_picture(app.requested_name, app.store,
                                                      app.engines->jpeg, app.engines->file_buffer);
  app.set_status(r.message);
  if (r.name_taken) app.current_name = app.requested_name;
}

void run_pipeline(App&) {}
void update_view(App&) {}

void present_back_buffer(App& app) {
  img::present(app.back_buffer.data(), app.screen.framebuffer(),
               static_cast<std::int64_t>(app.back_buffer.size()), app.screen_record.depth);
}

void save_picture(App& app, int depth) {
  const img::ConstPlane source =
      processed_in_use(app) ? app.store.processed() : app.store.working();
  app.set_status(formats::save_bmp(
      app.current_name, depth, source, app.store.width, app.store.height, app.engines->palette_keys,
      app.menus.integer(menu::slot::kPalSize), app.store.row_buffer()));
}

void fit_to_screen(App&) {}
void original_size(App&) {}
void flip_x(App&) {}
void flip_y(App&) {}
void resize_picture(App&) {}
bool view_key(App&, int) {
  return false;
}
void mouse_view(App&) {}

}  // namespace core
