// Interim bodies: the pure routines behind these land in formats/ and image/; until they
// are joined here each operation leaves the picture as it is.
#include "core/operations.h"

namespace core {

struct Engines {};

App::App(platform::Screen& s) : screen(s), engines(std::make_unique<Engines>()) {}
App::~App() = default;

void load_requested_picture(App& app) {
  app.set_status(menu::Message::kUnrecognizedFile);
}
void run_pipeline(App&) {}
void update_view(App&) {}
void present_back_buffer(App&) {}
void save_picture(App&, int) {}
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
