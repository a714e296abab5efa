#include "platform/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/font_glyphs.inc"
#include "platform/keys.h"
#include "platform/utf8.h"

namespace platform {

std::string format_number(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.16g", value);
  std::string text = buffer;
  if (!(value < 0) && text[0] != '-') text.insert(text.begin(), ' ');
  return text;
}

std::string first_input_item(std::string_view line) {
  constexpr std::size_t npos = std::string_view::npos;
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i < line.size() && line[i] == '"') {
    const std::size_t end = line.find('"', i + 1);
    return std::string(line.substr(i + 1, end == npos ? npos : end - i - 1));
  }
  const std::size_t comma = line.find(',', i);
  return std::string(line.substr(i, comma == npos ? npos : comma - i));
}

bool Screen::open(int width, int height, int depth, std::string& error) {
  if (width < 1 || height < 1) {
    error = "screen size " + std::to_string(width) + " x " + std::to_string(height) +
            " is not supported";
    return false;
  }
  if (depth != 8 && depth != 15 && depth != 16 && depth != 32) {
    error = "colour depth " + std::to_string(depth) + " is not supported";
    return false;
  }
  width_ = width;
  height_ = height;
  depth_ = depth;
  bytes_per_pixel_ = depth == 8 ? 1 : depth == 32 ? 4 : 2;
  pixels_.assign(static_cast<std::size_t>(width) * height * bytes_per_pixel_, 0);
  columns_ = width / 8;
  rows_ = height / 8;
  for (int i = 0; i < 256; ++i) palette_[i] = static_cast<std::uint32_t>(i * 0x010101);
  return open_window(width, height, depth, error);
}

void Screen::unlock() {
  locked_ = false;
  show();
}

void Screen::set_palette_entry(int index, int red, int green, int blue) {
  palette_[index & 255] =
      static_cast<std::uint32_t>(((red & 255) << 16) | ((green & 255) << 8) | (blue & 255));
}

void Screen::set_text_grid(int columns, int rows) {
  columns_ = columns;
  rows_ = rows;
}

std::uint32_t Screen::encode(std::uint32_t c) const {
  switch (depth_) {
    case 8:
      return c & 0xFF;
    case 15:
      return ((c >> 3) & 0x1F) + ((c >> 6) & 0x3E0) + ((c >> 9) & 0x7C00);
    case 16:
      return ((c >> 3) & 0x1F) + ((c >> 5) & 0x7E0) + ((c >> 8) & 0xF800);
    default:
      return c & 0xFFFFFF;
  }
}

void Screen::set_colours(std::uint32_t foreground, std::uint32_t background) {
  foreground_ = encode(foreground);
  background_ = encode(background);
}

void Screen::locate(int row, int column) {
  cursor_row_ = row;
  cursor_column_ = column;
}

void Screen::put_pixel(int x, int y, std::uint32_t encoded) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const std::size_t k = static_cast<std::size_t>(y) * width_ + x;
  switch (bytes_per_pixel_) {
    case 1:
      pixels_[k] = static_cast<std::uint8_t>(encoded);
      break;
    case 2: {
      const std::uint16_t v = static_cast<std::uint16_t>(encoded);
      std::memcpy(&pixels_[k * 2], &v, 2);
      break;
    }
    default:
      std::memcpy(&pixels_[k * 4], &encoded, 4);
      break;
  }
}

namespace {

// The console font's glyph for a character: Latin-1 from the main table, the rest of the
// font's set by binary search, '?' for a character the font lacks.
template <int Rows, std::size_t N>
const unsigned char* glyph_of(char32_t code, const unsigned char (&latin1)[256][Rows],
                              const WideGlyph<Rows> (&wide)[N]) {
  if (code < 256) return latin1[code];
  const auto* it =
      std::lower_bound(std::begin(wide), std::end(wide), code,
                       [](const WideGlyph<Rows>& g, char32_t c) { return g.code < c; });
  return it != std::end(wide) && it->code == code ? it->rows : latin1[static_cast<int>('?')];
}

}  // namespace

void Screen::draw_cell(int row, int column, char32_t code) {
  if (row < 1 || column < 1 || row > rows_ || column > columns_) return;
  const int h = cell_height();
  const int x0 = (column - 1) * 8;
  const int y0 = (row - 1) * h;
  const bool tall = h >= 16;
  const unsigned char* glyph =
      tall ? glyph_of(code, kFont8x16, kFont8x16Wide) : glyph_of(code, kFont8x8, kFont8x8Wide);
  const int glyph_rows = tall ? 16 : 8;
  for (int y = 0; y < h; ++y) {
    const unsigned bits = y < glyph_rows ? glyph[y] : 0;
    for (int x = 0; x < 8; ++x) {
      put_pixel(x0 + x, y0 + y, (bits & (0x80u >> x)) ? foreground_ : background_);
    }
  }
}

void Screen::print(std::string_view text, bool newline) {
  for (std::size_t at = 0; at < text.size();) {
    draw_cell(cursor_row_, cursor_column_, next_character(text, at));
    ++cursor_column_;
  }
  if (newline) {
    ++cursor_row_;
    cursor_column_ = 1;
  }
  changed();
}

void Screen::print_number(double value, bool newline) {
  print(format_number(value), newline);
}

void Screen::line(int x0, int y0, int x1, int y1, std::uint32_t colour) {
  const std::uint32_t c = encode(colour);
  const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    put_pixel(x0, y0, c);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  changed();
}

std::string Screen::read_key() {
  if (!pushed_back_.empty()) return std::exchange(pushed_back_, std::string{});
  return next_key();
}

std::string Screen::read_line() {
  constexpr std::size_t kMaxLine = 4096;  // characters
  print("? ");
  const int field_row = cursor_row_, field_column = cursor_column_;
  std::string typed;  // UTF-8
  std::size_t characters = 0;
  for (;;) {
    const std::string key = read_key();
    if (key.empty()) {
      pause(30);
      continue;
    }
    if (is_extended(key, scan::kClose)) {
      push_back_key(key);
      return {};
    }
    if (key[0] == kEnter) break;
    if (key[0] == kBackspace || key[0] == kEscape) {
      // Backspace takes back the last character, Esc all of them.
      const std::size_t keep = key[0] == kBackspace && characters > 0 ? characters - 1 : 0;
      typed.resize(first_characters(typed, keep).size());
      locate(field_row, field_column + static_cast<int>(keep));
      print(std::string(characters - keep, ' '));
      characters = keep;
      continue;
    }
    // One typed character a keystroke, in UTF-8; control codes and extended keys type
    // nothing.
    if (!is_one_character(key) || static_cast<unsigned char>(key[0]) < 32 ||
        characters >= kMaxLine) {
      continue;
    }
    typed += key;
    locate(field_row, field_column + static_cast<int>(characters));
    print(key);
    ++characters;
  }
  return first_input_item(typed);
}

std::uint32_t Screen::displayed_rgb(int x, int y) const {
  const std::size_t k = static_cast<std::size_t>(y) * width_ + x;
  switch (depth_) {
    case 8:
      return palette_[pixels_[k]];
    case 15:
    case 16: {
      std::uint16_t v;
      std::memcpy(&v, &pixels_[k * 2], 2);
      const int green_bits = depth_ == 16 ? 6 : 5;
      const unsigned b5 = v & 0x1F;
      const unsigned g = (v >> 5) & ((1u << green_bits) - 1);
      const unsigned r5 = (v >> (5 + green_bits)) & 0x1F;
      const unsigned g8 = green_bits == 6 ? (g << 2) | (g >> 4) : (g << 3) | (g >> 2);
      return (((r5 << 3) | (r5 >> 2)) << 16) | (g8 << 8) | ((b5 << 3) | (b5 >> 2));
    }
    default: {
      std::uint32_t v;
      std::memcpy(&v, &pixels_[k * 4], 4);
      return v & 0xFFFFFF;
    }
  }
}

void Screen::to_rgb(std::uint32_t* out) const {
  if (depth_ == 32) {
    const std::size_t n = static_cast<std::size_t>(width_) * height_;
    std::memcpy(out, pixels_.data(), n * 4);
    return;
  }
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) *out++ = displayed_rgb(x, y);
  }
}

}  // namespace platform
