#include "platform/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/keys.h"
#include "platform/sdl_keys.h"
#include "platform/utf8.h"

namespace platform {

struct SdlScreen::Window {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  Uint64 frequency = 1;
};

SdlScreen::SdlScreen(std::string program_name) : program_name_(std::move(program_name)) {}

SdlScreen::~SdlScreen() {
  if (window_) {
    if (window_->texture != nullptr) SDL_DestroyTexture(window_->texture);
    if (window_->renderer != nullptr) SDL_DestroyRenderer(window_->renderer);
    if (window_->window != nullptr) SDL_DestroyWindow(window_->window);
  }
  SDL_Quit();
}

bool SdlScreen::open_window(int width, int height, int, std::string& error) {
  // Closing the one window then always gives SDL_QUIT, the close request counted below.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    error = std::string("cannot open a window: ") + SDL_GetError() +
            " (without a display, run it under xvfb-run)";
    return false;
  }
  // Without a display SDL falls back to drivers that show nothing; the program would run
  // unseen for ever.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* allowed = std::getenv(kAllowHeadlessVariable);
  if (driver != nullptr &&
      (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      (allowed == nullptr || std::strcmp(allowed, "1") != 0)) {
    error = "cannot open a window: no display (without a display, run it under xvfb-run)";
    return false;
  }
  window_ = std::make_unique<Window>();
  window_->frequency = SDL_GetPerformanceFrequency();
  // The largest whole multiple of the screen that fits the desktop's usable area.
  int factor = 1;
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
    factor = std::max(1, std::min(usable.w / width, (usable.h - 32) / height));
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  window_->window = SDL_CreateWindow(program_name_.c_str(), SDL_WINDOWPOS_CENTERED,
                                     SDL_WINDOWPOS_CENTERED, width * factor, height * factor,
                                     SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (window_->window == nullptr) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    return false;
  }
  window_->renderer = SDL_CreateRenderer(window_->window, -1, SDL_RENDERER_ACCELERATED);
  if (window_->renderer == nullptr) {
    window_->renderer = SDL_CreateRenderer(window_->window, -1, SDL_RENDERER_SOFTWARE);
  }
  if (window_->renderer == nullptr) {
    error = std::string("cannot draw into the window: ") + SDL_GetError();
    return false;
  }
  window_->texture = SDL_CreateTexture(window_->renderer, SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_STREAMING, width, height);
  if (window_->texture == nullptr) {
    error = std::string("cannot make the screen texture: ") + SDL_GetError();
    return false;
  }
  rgb_.assign(static_cast<std::size_t>(width) * height, 0);
  SDL_StartTextInput();
  return true;
}

namespace {

// The screen's place in the window's drawable area: scaled by the largest whole factor
// that fits (or shrunk when the window is smaller than the screen), centred.
SDL_Rect screen_rect(int out_w, int out_h, int width, int height) {
  double scale = std::min(static_cast<double>(out_w) / width, static_cast<double>(out_h) / height);
  if (scale >= 1.0) scale = static_cast<int>(scale);
  const int w = std::max(1, static_cast<int>(width * scale));
  const int h = std::max(1, static_cast<int>(height * scale));
  return SDL_Rect{(out_w - w) / 2, (out_h - h) / 2, w, h};
}

}  // namespace

void SdlScreen::present_texture() {
  if (!window_ || window_->texture == nullptr) return;
  to_rgb(rgb_.data());
  SDL_UpdateTexture(window_->texture, nullptr, rgb_.data(), width() * 4);
  int out_w = 0, out_h = 0;
  SDL_GetRendererOutputSize(window_->renderer, &out_w, &out_h);
  const SDL_Rect dst = screen_rect(out_w, out_h, width(), height());
  SDL_SetRenderDrawColor(window_->renderer, 0, 0, 0, 255);
  SDL_RenderClear(window_->renderer);
  SDL_RenderCopy(window_->renderer, window_->texture, nullptr, &dst);
  SDL_RenderPresent(window_->renderer);
}

void SdlScreen::show() {
  present_texture();
}

bool SdlScreen::handle(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      // A close of the window brings SDL_WINDOWEVENT_CLOSE and then SDL_QUIT; SIGINT and
      // SIGTERM bring SDL_QUIT alone. Only SDL_QUIT counts: one close, one request.
      settle_pending_key();
      keys_.push_back(extended_key(scan::kClose));
      return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
          e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        present_texture();
      }
      return false;
    case SDL_DROPFILE:
      if (e.drop.file != nullptr) {
        dropped_.emplace_back(e.drop.file);  // UTF-8, as the file system names it
        SDL_free(e.drop.file);
      }
      return true;
    case SDL_TEXTINPUT:
      text_input(e.text.text);
      return true;
    case SDL_KEYDOWN:
      key_down(e.key.keysym.sym, e.key.keysym.mod, e.key.repeat != 0);
      return true;
    case SDL_KEYUP:
      if (e.key.keysym.sym == SDLK_LALT || e.key.keysym.sym == SDLK_RALT) {
        if (!alt_in(e.key.keysym.mod)) alt_consumed_ = false;
      }
      return true;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

bool SdlScreen::alt_in(std::uint16_t mod) const {
  return (mod & KMOD_LALT) != 0 || ((mod & KMOD_RALT) != 0 && !right_alt_is_altgr_);
}

void SdlScreen::key_down(std::int32_t key, std::uint16_t mod, bool repeat) {
  settle_pending_key();
  if (key == SDLK_LALT || (key == SDLK_RALT && !right_alt_is_altgr_)) {
    if (!repeat) alt_tap_ = true;
    return;
  }
  if (sdl_keys::is_modifier(key)) return;
  const bool alt = alt_in(mod);
  if (alt) {
    alt_consumed_ = true;  // Alt held as a modifier does not open the menus
    alt_tap_ = false;
    if (key == SDLK_F4) {
      keys_.push_back(extended_key(scan::kClose));
      keys_.push_back(extended_key(scan::kClose));
      return;
    }
  }
  std::string keystroke;
  const int extended = sdl_keys::extended_scan_of(key, mod);
  if (key == SDLK_F4 && (mod & KMOD_CTRL) != 0) {
    keystroke = extended_key(scan::kCtrlF4);
  } else if (!alt && (mod & KMOD_CTRL) != 0 && (key == SDLK_z || key == SDLK_y)) {
    keystroke = std::string(1, key == SDLK_z ? kUndoKey : kRedoKey);
  } else if (!alt && extended >= 0) {
    keystroke = extended_key(extended);
  } else if (!alt && (key == SDLK_RETURN || key == SDLK_KP_ENTER)) {
    keystroke = std::string(1, kEnter);
  } else if (!alt && key == SDLK_TAB) {
    keystroke = std::string(1, kTab);
  } else if (!alt && key == SDLK_ESCAPE) {
    keystroke = std::string(1, kEscape);
  } else if (!alt && key == SDLK_BACKSPACE) {
    keystroke = std::string(1, kBackspace);
  } else {
    // The character, if the key types one, follows as text input; else the key press is a
    // keystroke without meaning.
    pending_ = {true, key, mod, extended_key(sdl_keys::unassigned_scan_of(key))};
    return;
  }
  keys_.push_back(std::move(keystroke));
}

void SdlScreen::text_input(const char* text) {
  const std::string_view typed(text);
  if (pending_.waiting) {
    const bool chord = alt_in(pending_.mod) || (pending_.mod & KMOD_CTRL) != 0;
    // Alt+Q brings the text "q": a chord, not typing. AltGr+Q brings "@": typing.
    if (chord && sdl_keys::is_own_character(typed, pending_.key)) {
      settle_pending_key();
      return;
    }
    if ((pending_.mod & KMOD_RALT) != 0 && (pending_.mod & (KMOD_LALT | KMOD_CTRL)) == 0) {
      right_alt_is_altgr_ = true;
    }
    pending_.waiting = false;
  }
  for (std::size_t at = 0; at < typed.size();) {
    const std::size_t from = at;
    const char32_t c = next_character(typed, at);
    if (c >= 32 && c != 127 && c != kReplacement) keys_.emplace_back(typed.substr(from, at - from));
  }
}

void SdlScreen::settle_pending_key() {
  if (!pending_.waiting) return;
  pending_.waiting = false;
  keys_.push_back(std::move(pending_.keystroke));
}

bool SdlScreen::pump() {
  bool input = false;
  SDL_Event e;
  while (SDL_PollEvent(&e) != 0) input |= handle(&e);
  // A key press and its text arrive together: a press still without text has none.
  settle_pending_key();
  return input;
}

std::string SdlScreen::next_key() {
  pump();
  if (keys_.empty()) return {};
  std::string k = std::move(keys_.front());
  keys_.pop_front();
  return k;
}

bool SdlScreen::is_held(int scan_code) {
  pump();
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  switch (scan_code) {
    case scan::kAlt: {
      // A tap whose press and release both fell between two tests still counts once.
      const bool down =
          state[SDL_SCANCODE_LALT] != 0 || (state[SDL_SCANCODE_RALT] != 0 && !right_alt_is_altgr_);
      const bool held = (down || alt_tap_) && !alt_consumed_;
      alt_tap_ = false;
      return held;
    }
    case scan::kLeftShift:
      return state[SDL_SCANCODE_LSHIFT] != 0;
    case scan::kRightShift:
      return state[SDL_SCANCODE_RSHIFT] != 0;
    default:
      return false;
  }
}

MouseReading SdlScreen::poll_mouse() {
  pump();
  MouseReading r;
  if (!window_ || (SDL_GetWindowFlags(window_->window) & SDL_WINDOW_MOUSE_FOCUS) == 0) return r;
  int wx = 0, wy = 0;
  const Uint32 buttons = SDL_GetMouseState(&wx, &wy);
  int win_w = 1, win_h = 1, out_w = 1, out_h = 1;
  SDL_GetWindowSize(window_->window, &win_w, &win_h);
  SDL_GetRendererOutputSize(window_->renderer, &out_w, &out_h);
  // Window coordinates to drawable pixels, then to screen pixels.
  const double px = wx * static_cast<double>(out_w) / win_w;
  const double py = wy * static_cast<double>(out_h) / win_h;
  const SDL_Rect dst = screen_rect(out_w, out_h, width(), height());
  const int sx = static_cast<int>((px - dst.x) * width() / dst.w);
  const int sy = static_cast<int>((py - dst.y) * height() / dst.h);
  if (px < dst.x || py < dst.y || sx < 0 || sy < 0 || sx >= width() || sy >= height()) return r;
  r.x = sx;
  r.y = sy;
  r.wheel = 0;
  r.buttons =
      ((buttons & SDL_BUTTON_LMASK) != 0 ? 1 : 0) | ((buttons & SDL_BUTTON_RMASK) != 0 ? 2 : 0);
  return r;
}

double SdlScreen::timer() {
  return static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(window_->frequency);
}

void SdlScreen::pause(int milliseconds) {
  if (milliseconds < 0) {
    // Until a key is pending; it stays pending.
    while (keys_.empty()) {
      SDL_Event e;
      if (SDL_WaitEvent(&e) != 0) {
        handle(&e);
        pump();
      }
    }
    return;
  }
  const Uint64 end = SDL_GetTicks64() + static_cast<Uint64>(milliseconds);
  for (;;) {
    const Uint64 now = SDL_GetTicks64();
    if (now >= end) return;
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, static_cast<int>(end - now)) != 0) {
      const bool input = handle(&e);
      if (pump() || input) return;  // input ends the wait early
    }
  }
}

void SdlScreen::set_title(const std::string& name) {
  if (!window_) return;
  const std::string title = name.empty() ? program_name_ : program_name_ + " - " + name;
  SDL_SetWindowTitle(window_->window, title.c_str());
}

std::string SdlScreen::take_dropped_file() {
  pump();
  if (dropped_.empty()) return {};
  std::string f = std::move(dropped_.front());
  dropped_.pop_front();
  return f;
}

}  // namespace platform
