#include "core/startup.h"

#include "core/display.h"
#include "core/operations.h"

namespace core {

std::string join_arguments(const std::vector<std::string>& arguments) {
  std::string joined;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) joined += ' ';
    joined += arguments[i];
  }
  return joined;
}

std::uint32_t palette_index_of(std::uint32_t c) {
  return ((c & 0xC00000) >> 16) + ((c & 0xF000) >> 10) + ((c & 0xFF) >> 6);
}

bool start_up(App& app, const std::string& settings_path, const std::string& first_picture,
              std::string& error, std::vector<std::string>& warnings) {
  Settings& s = app.settings;
  s = Settings{};
  std::string warning;
  read_or_create_settings(settings_path, s, warning);
  if (!warning.empty()) warnings.push_back(warning);

  DisplayMode mode;
  if (!display_mode(s.mode, mode)) {
    warnings.push_back("display mode " + std::to_string(s.mode) + " in " + settings_path +
                       " is not supported (13 to 21, or a custom WWWWHHHH of at least 272 x " +
                       "184, a text grid of 34 x 23); using mode 18, 640 x 480");
    s.mode = Settings{}.mode;
    display_mode(s.mode, mode);
  }
  if (s.cdep != 8 && s.cdep != 15 && s.cdep != 16 && s.cdep != 32) {
    warnings.push_back("colour depth " + std::to_string(s.cdep) + " in " + settings_path +
                       " is not supported (8, 15, 16 or 32); using 32");
    s.cdep = Settings{}.cdep;
  }
  if (s.maxh < 1 || s.maxv < 1) {
    error = "the largest picture size in " + settings_path + " (maxh = " + std::to_string(s.maxh) +
            ", maxv = " + std::to_string(s.maxv) + ") must be at least 1 x 1";
    return false;
  }

  if (!app.screen.open(mode.width, mode.height, s.cdep, error)) return false;
  app.screen.set_text_grid(mode.columns, mode.rows);

  ScreenRecord& r = app.screen_record;
  r.width = app.screen.width();
  r.height = app.screen.height();
  r.depth = app.screen.depth();
  s.cdep = r.depth;
  r.text_columns = app.screen.text_columns();
  r.text_rows = app.screen.text_rows();
  r.row_height = r.height / r.text_rows;
  r.last_x = r.width - 1;
  r.last_y = r.height - 1;

  app.back_buffer.assign(static_cast<std::size_t>(r.width) * r.height, 0);
  if (!app.store.allocate(s.maxh, s.maxv, error)) {
    error += " (maxh and maxv in " + settings_path + ")";
    return false;
  }
  // Undo's memory is reserved like the planes and filled as it is used: together they must
  // fit in the machine's memory, or an edit would fail long after start-up.
  const std::uint64_t memory = img::physical_memory_bytes();
  const std::uint64_t undo_bytes = History::bytes_for(s.maxh, s.maxv);
  if (memory > 0 && 2 * undo_bytes > memory) {  // the planes take as much as undo
    error = "an image store of " + std::to_string(s.maxh) + " x " + std::to_string(s.maxv) +
            " pixels with its undo memory (" + std::to_string((2 * undo_bytes) >> 20) +
            " MiB) does not fit in the machine's " + std::to_string(memory >> 20) +
            " MiB of memory (maxh and maxv in " + settings_path + ")";
    return false;
  }
  if (!app.history.allocate(undo_bytes)) {
    error = "cannot set aside the memory for undo (maxh and maxv in " + settings_path + ")";
    return false;
  }
  if (!prepare_engines(app, error)) return false;

  for (int i = 0; i < 16; ++i)
    app.interface_colours[static_cast<std::size_t>(i)] = kInterfaceColours[i];
  if (r.depth == 8) {
    for (int i = 0; i < 256; ++i) {
      app.screen.set_palette_entry(i, (i / 64) * 85, ((i / 4) % 16) * 17, (i % 4) * 85);
    }
    for (auto& c : app.interface_colours) c = palette_index_of(c);
  }

  if (!first_picture.empty()) {
    app.requested_name = first_picture;
    load_requested_picture(app);
  }
  return true;
}

}  // namespace core
