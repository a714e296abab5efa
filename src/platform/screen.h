// The graphics screen service: one screen with a framebuffer at depth 8, 15, 16 or 32,
// character-cell text, lines, keyboard, mouse, timer and pause. The drawing is shared;
// a backend supplies only the window (or none), the events and the clock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MouseReading {
  std::int32_t x = -1, y = -1, wheel = -1, buttons = -1;  // all -1 outside the screen
};

// Shortest decimal form with up to 16 significant digits, a blank before it when not negative.
std::string format_number(double value);

// The first input item of a typed line: leading blanks and tabs dropped; ends at a comma or
// the end of the line; an item starting with a double quote runs to the next one.
std::string first_input_item(std::string_view line);

class Screen {
 public:
  virtual ~Screen() = default;

  // Opens the screen at width x height and depth (8, 15, 16 or 32); the text grid starts as
  // width / 8 columns by height / 8 rows. Returns false with a reason in `error`.
  bool open(int width, int height, int depth, std::string& error);

  int width() const { return width_; }
  int height() const { return height_; }
  int depth() const { return depth_; }
  int bytes_per_pixel() const { return bytes_per_pixel_; }
  void* framebuffer() { return pixels_.data(); }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }

  // Pixels written between lock and unlock appear at unlock.
  void lock() { locked_ = true; }
  void unlock();

  void set_palette_entry(int index, int red, int green, int blue);
  std::uint32_t palette_entry(int index) const { return palette_[index & 255]; }

  // Text grid of character cells 8 pixels wide and height / rows high.
  void set_text_grid(int columns, int rows);
  int text_columns() const { return columns_; }
  int text_rows() const { return rows_; }
  int cell_height() const { return rows_ > 0 ? height_ / rows_ : 0; }

  // Colours are interface colours: 0x00RRGGBB, or palette indexes on an 8-bit screen.
  void set_colours(std::uint32_t foreground, std::uint32_t background);
  void locate(int row, int column);  // both from 1
  // Text is UTF-8: one cell per character, drawn with the console font's glyph for it, or
  // '?' for a character the font lacks (and for each byte that is not UTF-8).
  void print(std::string_view text, bool newline = false);
  void print_number(double value, bool newline = false);
  void line(int x0, int y0, int x1, int y1, std::uint32_t colour);

  // Shows "? " at the cursor, echoes typing until Enter and returns the first input item
  // (at most 4096 characters, in UTF-8). Esc clears the typed text; a close request
  // returns "" and stays pending for the main loop.
  std::string read_line();

  // The screen's pixel at (x, y) as 0x00RRGGBB, as the window shows it.
  std::uint32_t displayed_rgb(int x, int y) const;
  // The whole screen as 0x00RRGGBB, row after row.
  void to_rgb(std::uint32_t* out) const;

  // Keyboard: "" when no key is pending.
  std::string read_key();
  // Puts a keystroke back so that the next read_key returns it.
  void push_back_key(std::string key) { pushed_back_ = std::move(key); }
  virtual bool is_held(int scan_code) = 0;
  virtual MouseReading poll_mouse() = 0;
  virtual double timer() = 0;
  // Waits n milliseconds (returning early when input arrives); -1 waits until a key is
  // pending and leaves it pending.
  virtual void pause(int milliseconds) = 0;
  virtual void set_title(const std::string& title) { (void)title; }
  // A file dropped onto the window since the last call, or "".
  virtual std::string take_dropped_file() { return {}; }

 protected:
  virtual bool open_window(int width, int height, int depth, std::string& error) = 0;
  // The framebuffer changed outside a lock, or a lock ended: show it.
  virtual void show() = 0;
  virtual std::string next_key() = 0;

  bool locked() const { return locked_; }

 private:
  std::uint32_t encode(std::uint32_t colour) const;
  void put_pixel(int x, int y, std::uint32_t encoded);
  void draw_cell(int row, int column, char32_t code);
  void changed() {
    if (!locked_) show();
  }

  int width_ = 0, height_ = 0, depth_ = 32, bytes_per_pixel_ = 4;
  int columns_ = 0, rows_ = 0;
  int cursor_row_ = 1, cursor_column_ = 1;
  std::uint32_t foreground_ = 0, background_ = 0;  // encoded for the framebuffer
  bool locked_ = false;
  std::vector<std::uint8_t> pixels_;
  std::array<std::uint32_t, 256> palette_{};  // 0x00RRGGBB per index (8-bit screens)
  std::string pushed_back_;
};

}  // namespace platform
