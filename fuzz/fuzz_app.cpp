// Fuzz target: the whole program on the scripted screen, driven by keystrokes, held keys,
// mouse states, typed file names and dropped files made from the input. It runs in a folder
// of a few pictures (and things that are not pictures) inside a fresh temporary folder; after
// each run nothing may have appeared beside that folder, no temporary file may be left, every
// file that changed must be a whole BMP (or PNG), and no file descriptor may stay open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/main_loop.h"
#include "core/app.h"
#include "core/display.h"
#include "core/menu_state.h"
#include "core/menu_table.h"
#include "core/startup.h"
#include "fuzz_support.h"
#include "platform/keys.h"
#include "platform/scripted_screen.h"

#ifndef VELDRAN_SOURCE_DIR
#error "VELDRAN_SOURCE_DIR names the source tree (for samples/)"
#endif

namespace fuzz {

namespace fs = std::filesystem;

inline std::string file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put_file(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline int open_descriptors() {
  std::error_code ec;
  int n = 0;
  for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

AppFuzzFolder::AppFuzzFolder() {
  std::string pattern = (fs::temp_directory_path() / "veldran-fuzz-app-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) __builtin_trap();
  base_ = pattern;
  folder_ = base_ / "pictures";
  fs::create_directories(folder_ / "sub");
  const fs::path samples = fs::path(VELDRAN_SOURCE_DIR) / "samples";
  const std::string jpeg = file_bytes(samples / "card_420.jpg");
  files_ = {
      {"card_8bit.bmp", file_bytes(samples / "card_8bit.bmp")},
      {"card_16bit.bmp", file_bytes(samples / "card_16bit.bmp")},
      {"card_420.jpg", jpeg},
      {"card_grey.jpg", file_bytes(samples / "card_grey.jpg")},
      {"big.jpg", file_bytes(samples / "p03_640x480_420.jpg")},  // larger than the store
      {"cut.jpg", jpeg.substr(0, jpeg.size() / 2)},
      {"notes.bmp", "not a picture\n"},
      {"sub/inner.bmp", file_bytes(samples / "card_8bit.bmp")},
  };
  for (const auto& [name, bytes] : files_) {
    if (bytes.empty() && name != "notes.bmp") __builtin_trap();  // samples/ not found
  }
  previous_ = fs::current_path();
  fs::current_path(folder_);
  restore();
}

AppFuzzFolder::~AppFuzzFolder() {
  std::error_code ec;
  fs::current_path(previous_, ec);
  fs::remove_all(base_, ec);
}

bool AppFuzzFolder::check(std::string& fault) const {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(base_, ec)) {
    if (e.path().filename() != "pictures") {
      fault = "written outside the folder: " + e.path().string();
      return false;
    }
  }
  for (auto it = fs::recursive_directory_iterator(folder_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string name = fs::relative(it->path(), folder_).string();
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) {
      fault = "temporary file left: " + name;
      return false;
    }
    if (!it->is_regular_file() || name == "VELDRAN.INI") continue;
    const std::string now = file_bytes(it->path());
    bool unchanged = false;
    for (const auto& [original_name, bytes] : files_) {
      if (original_name == name) unchanged = now == bytes;
    }
    if (!unchanged && !whole_bmp(now) && !whole_png(now)) {
      fault = "a file that is neither its old self nor a whole BMP or PNG: " + name;
      return false;
    }
  }
  return true;
}

void AppFuzzFolder::restore() const {
  std::error_code ec;
  std::vector<fs::path> extra;
  for (auto it = fs::recursive_directory_iterator(folder_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string name = fs::relative(it->path(), folder_).string();
    bool known = name == "sub" || name == "pipe.bmp";
    for (const auto& f : files_) known = known || f.first == name;
    if (!known) extra.push_back(it->path());
  }
  for (const fs::path& p : extra) fs::remove_all(p, ec);
  for (const auto& [name, bytes] : files_) {
    if (!fs::is_regular_file(folder_ / name) || file_bytes(folder_ / name) != bytes) {
      fs::remove_all(folder_ / name, ec);
      put_file(folder_ / name, bytes);
    }
  }
  // A named pipe: opening it for reading waits for a writer that never comes.
  struct stat st {};
  if (lstat((folder_ / "pipe.bmp").c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
    fs::remove_all(folder_ / "pipe.bmp", ec);
    if (mkfifo((folder_ / "pipe.bmp").c_str(), 0644) != 0) __builtin_trap();
  }
}

bool AppFuzzFolder::whole_bmp(const std::string& b) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  std::uint32_t size = 0;
  for (int i = 5; i >= 2; --i) size = (size << 8) | static_cast<unsigned char>(b[i]);
  return size == b.size();
}

// A whole PNG (a name ending .png saves one): the signature first, the end chunk last.
bool AppFuzzFolder::whole_png(const std::string& b) {
  static constexpr std::string_view kStart("\x89PNG\r\n\x1a\n", 8);
  static constexpr std::string_view kEnd("\0\0\0\0IEND\xae\x42\x60\x82", 12);
  return b.size() >= kStart.size() + kEnd.size() && b.starts_with(kStart) && b.ends_with(kEnd);
}

// Reads the input a byte at a time; zeros once it is used up.
struct ByteReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool done() const { return at >= size; }
  std::uint8_t next() { return at < size ? data[at++] : 0; }
};

constexpr int kMaxSteps = 300;

// Turns the input into a script on `screen` for a screen of width x height; returns the
// number of steps.
inline int build_script(ByteReader& in, platform::ScriptedScreen& screen, int width, int height) {
  namespace scan = platform::scan;
  static constexpr std::string_view kKeys = "fevcosbmpqxytrkaujhgwdilnz-.0123456789 ";
  static constexpr int kExtended[] = {
      scan::kF1,    scan::kF2,     scan::kF3,       scan::kF4,   scan::kF11,
      scan::kF12,   scan::kCtrlF4, scan::kUp,       scan::kDown, scan::kLeft,
      scan::kRight, scan::kPageUp, scan::kPageDown, scan::kHome, scan::kEnd,
  };
  static constexpr std::string_view kNameCharacters = "abcxyz019._- ,\"";
  auto position = [&](std::uint8_t b, int extent) { return b * (extent + 16) / 256 - 8; };
  auto set_mouse = [&](int x, int y, int buttons, int wheel) {
    if (x < 0 || y < 0 || x >= width || y >= height) {
      screen.mouse(-1, -1, -1, -1);  // outside the screen
    } else {
      screen.mouse(x, y, buttons, wheel);
    }
  };
  auto name = [&]() {
    const std::uint8_t pick = in.next();
    if (pick < 160)
      return std::string(AppFuzzFolder::kNames[pick % std::size(AppFuzzFolder::kNames)]);
    std::string typed;
    for (int n = pick % 12; n > 0; --n)
      typed += kNameCharacters[in.next() % kNameCharacters.size()];
    return typed;
  };

  int steps = 0;
  while (!in.done() && steps < kMaxSteps) {
    const std::uint8_t op = in.next();
    switch (op % 16) {
      case 0:
      case 1:
      case 2:
        screen.key(std::string(1, kKeys[in.next() % kKeys.size()]));
        break;
      case 3:
        screen.key(std::string(1, platform::kEnter));
        break;
      case 4:
        screen.key(std::string(1, platform::kEscape));
        break;
      case 5:
        screen.key(std::string(1, platform::kTab));
        break;
      case 6:
        screen.key(std::string(1, platform::kBackspace));
        break;
      case 7:
      case 8:
        screen.extended(kExtended[in.next() % std::size(kExtended)]);
        break;
      case 9:
        screen.hold({scan::kAlt}).hold({});
        ++steps;
        break;
      case 10: {
        const std::uint8_t bits = in.next();
        std::set<int> held;
        if (bits & 1) held.insert(scan::kAlt);
        if (bits & 2) held.insert(scan::kLeftShift);
        if (bits & 4) held.insert(scan::kRightShift);
        screen.hold(held);
        break;
      }
      case 11: {
        const int x = position(in.next(), width), y = position(in.next(), height);
        const std::uint8_t b = in.next();
        set_mouse(x, y, b & 3, (b >> 2) % 8 - 4);
        break;
      }
      case 12: {
        const int x = position(in.next(), width), y = position(in.next(), height);
        set_mouse(x, y, 1, 0);
        set_mouse(x, y, 0, 0);
        ++steps;
        break;
      }
      case 13:
        for (const char c : name()) screen.key(std::string(1, c)), ++steps;
        screen.key(std::string(1, platform::kEnter));
        break;
      case 14:
        if (op & 0x80) {
          screen.drop(name());
        } else {
          screen.idle();
        }
        break;
      default:
        screen.key(std::string(1, static_cast<char>(in.next())));
        break;
    }
    ++steps;
  }
  return steps;
}

// The open-entry list as the menus keep it: the menu bar first, then each open drop-down
// whole, in item order, one entry a row down one column, every entry on the text grid.
inline bool menus_in_order(const core::App& app, std::string& fault) {
  const core::Menus& m = app.menus;
  const core::ScreenRecord& r = app.screen_record;
  int panels_seen[core::kPanelCount] = {};
  for (int i = 0; i < m.count(); ++i) {
    const core::OpenEntry& e = m.entry(i);
    const core::Panel& p = core::panel(e.panel);
    const bool first = i == 0 || m.entry(i - 1).panel != e.panel;
    if (first && panels_seen[e.panel]++ != 0) fault = "a panel open twice or split";
    const core::OpenEntry& head = first ? e : m.entry(i - 1);
    const auto k = static_cast<std::size_t>(e.item - p.items.data());
    if (k >= p.items.size()) fault = "an entry not of its panel";
    if (!first && e.panel != 0 &&
        (e.column != head.column || e.row != head.row + 1 || e.item != head.item + 1)) {
      fault = "a drop-down's entries out of line";
    }
    if (e.column < 1 || e.row < 1 || e.column + e.width - 1 > r.text_columns ||
        e.row > r.text_rows) {
      fault = "an entry off the text grid";
    }
  }
  if (m.state.selected_entry < -1 || m.state.selected_entry >= m.count()) fault = "selection";
  if (!fault.empty()) {
    fault += " (panel list of " + std::to_string(m.count()) + " entries)";
    return false;
  }
  return true;
}

// A dragged drop-down that moves in a pass goes as many whole cells as the pointer travelled
// from the drag origin, or stops at the edge of the grid (or of the byte-sized positions).
class DragCheck {
 public:
  explicit DragCheck(const core::App& app)
      : app_(app),
        right_(std::min(app.screen_record.text_columns, 255)),
        bottom_(std::min(app.screen_record.text_rows, 255)) {}

  void before_pass() {
    dragged_ = app_.menus.state.dragged_panel;
    before_ = place_of(dragged_);
    origin_x_ = app_.mouse.raw_drag_origin_x;
    origin_y_ = app_.mouse.raw_drag_origin_y;
  }

  bool after_pass(std::string& fault) const {
    const Place after = place_of(dragged_);
    const int dx = after.column - before_.column, dy = after.row - before_.row;
    const int travel_x = app_.mouse.raw_x - origin_x_, travel_y = app_.mouse.raw_y - origin_y_;
    // A drop-down closed during the pass (Ctrl+F4, its close entry) moved nowhere.
    if (dragged_ == 0 || before_.width == 0 || after.width == 0 || (dx == 0 && dy == 0)) {
      return true;
    }
    if (followed(dx, travel_x / 8, after.column + after.width, right_, after.column) &&
        followed(dy, travel_y / app_.screen_record.row_height, after.last_row + 1, bottom_,
                 after.row)) {
      return true;
    }
    fault = "drop-down " + std::to_string(dragged_) + " went from " +
            std::to_string(before_.column) + "," + std::to_string(before_.row) + " to " +
            std::to_string(after.column) + "," + std::to_string(after.row) + "; the pointer by " +
            std::to_string(travel_x) + "," + std::to_string(travel_y);
    return false;
  }

 private:
  struct Place {
    int column = 0, row = 0, last_row = 0, width = 0;
  };
  Place place_of(int p) const {
    Place place;
    for (int i = 0; i < app_.menus.count(); ++i) {
      const core::OpenEntry& e = app_.menus.entry(i);
      if (e.panel != p) continue;
      if (place.width == 0) place = {e.column, e.row, e.row, e.width};
      place.last_row = e.row;
    }
    return place;
  }
  // Moved by the cells wanted, or stopped against the far edge (end >= high) or the near
  // one (start at 1).
  static bool followed(int moved, int wanted, int end, int high, int start) {
    return moved == wanted || (wanted > 0 && end >= high) || (wanted < 0 && start <= 1);
  }

  const core::App& app_;
  const int right_, bottom_;
  int dragged_ = 0, origin_x_ = 0, origin_y_ = 0;
  Place before_;
};

// Runs passes until the program ends; false, with the fault on stderr, when it misbehaved on
// the way.
inline bool run_to_the_end(core::App& app, int steps) {
  // Every pass reads a keystroke and every read applies at most one step, so the run ends
  // (the used-up script reads as the close request) well within this many passes.
  const int max_passes = 4 * steps + 64;
  int passes = 0;
  const bool trace = std::getenv("VELDRAN_FUZZ_TRACE") != nullptr;
  DragCheck drag(app);
  for (;;) {
    drag.before_pass();
    if (veldran::run_pass(app) == menu::PassEnd::kQuit) break;
    std::string fault;
    if (!drag.after_pass(fault) || !menus_in_order(app, fault)) {
      std::fprintf(stderr, "after pass %d: %s\n", passes, fault.c_str());
      return false;
    }
    if (trace) {
      const core::OpenEntry& last = app.menus.entry(app.menus.count() - 1);
      std::fprintf(
          stderr, "pass %d: key %s, message %d, %s %d x %d, panel %d, last entry at %d,%d\n",
          passes, app.keystroke.c_str(), static_cast<int>(app.status()), app.current_name.c_str(),
          app.store.width, app.store.height, app.menus.state.active_panel, last.column, last.row);
    }
    if (++passes > max_passes) {
      std::fprintf(stderr, "no end after %d passes\n", passes);
      return false;
    }
  }
  return true;
}

// One run; false when the program misbehaved.
bool app_input(const AppFuzzFolder& folder, const std::uint8_t* data, std::size_t size) {
  // The numbered modes up to 640 x 480, and custom screens with more than 255 text rows
  // (320 x 4200) or columns (2400 x 200).
  static constexpr int kModes[8] = {13, 14, 15, 18, 3204200, 24000200, 16, 17};
  static constexpr int kDepths[4] = {8, 15, 16, 32};
  static constexpr int kStores[4][2] = {{256, 256}, {256, 192}, {160, 300}, {64, 64}};
  ByteReader in{data, size};
  const std::uint8_t setup = in.next();
  const int mode = kModes[(setup & 3) | (setup >> 7) << 2], depth = kDepths[(setup >> 2) & 3];
  const int* store = kStores[(setup >> 4) & 3];
  put_file("VELDRAN.INI", "mode = " + std::to_string(mode) + "\r\ncdep = " + std::to_string(depth) +
                              "\r\nmaxh = " + std::to_string(store[0]) +
                              "\r\nmaxv = " + std::to_string(store[1]) + "\r\n");
  const std::uint8_t first = in.next();
  const std::string first_picture =
      (setup & 0x40) ? std::string(AppFuzzFolder::kNames[first % std::size(AppFuzzFolder::kNames)])
                     : std::string();

  const int descriptors = open_descriptors();
  bool ok = true;
  {
    platform::ScriptedScreen screen;
    screen.set_seconds_per_key(0.02);
    core::App app(screen);
    std::string error;
    std::vector<std::string> warnings;
    if (core::start_up(app, "VELDRAN.INI", first_picture, error, warnings)) {
      const int steps = build_script(in, screen, app.screen_record.width, app.screen_record.height);
      ok = run_to_the_end(app, steps);
      if (app.store.width > app.store.maxh || app.store.height > app.store.maxv) {
        std::fprintf(stderr, "picture of %d x %d in a store of %d x %d\n", app.store.width,
                     app.store.height, app.store.maxh, app.store.maxv);
        ok = false;
      }
    } else {
      std::fprintf(stderr, "start-up failed: %s\n", error.c_str());
      ok = false;
    }
  }
  if (open_descriptors() != descriptors) {
    std::fprintf(stderr, "file descriptors left open\n");
    ok = false;
  }
  std::string fault;
  if (!folder.check(fault)) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    ok = false;
  }
  folder.restore();
  return ok;
}

bool app_input(const std::uint8_t* data, std::size_t size) {
  static const AppFuzzFolder* folder = new AppFuzzFolder;
  return app_input(*folder, data, size);
}

}  // namespace fuzz
