#include "platform/sdl_backend.h"

#include <SDL.h>

#include <algorithm>

#include "platform/keys.h"

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
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    error = std::string("cannot open a window: ") + SDL_GetError() +
            " (without a display, run it under xvfb-run)";
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

namespace {

// Extended keys by SDL key code, as code 255 and a scan code.
int extended_scan_of(SDL_Keycode key) {
  switch (key) {
    case SDLK_F1:
      return scan::kF1;
    case SDLK_F2:
      return scan::kF2;
    case SDLK_F3:
      return scan::kF3;
    case SDLK_F4:
      return scan::kF4;
    case SDLK_F11:
      return scan::kF11;
    case SDLK_F12:
      return scan::kF12;
    case SDLK_UP:
      return scan::kUp;
    case SDLK_DOWN:
      return scan::kDown;
    case SDLK_LEFT:
      return scan::kLeft;
    case SDLK_RIGHT:
      return scan::kRight;
    case SDLK_PAGEUP:
      return scan::kPageUp;
    case SDLK_PAGEDOWN:
      return scan::kPageDown;
    case SDLK_HOME:
      return scan::kHome;
    case SDLK_END:
      return scan::kEnd;
    default:
      return -1;
  }
}

// The keypad without Num Lock gives the same extended keys.
int keypad_scan_of(SDL_Keycode key) {
  switch (key) {
    case SDLK_KP_8:
      return scan::kUp;
    case SDLK_KP_2:
      return scan::kDown;
    case SDLK_KP_4:
      return scan::kLeft;
    case SDLK_KP_6:
      return scan::kRight;
    case SDLK_KP_9:
      return scan::kPageUp;
    case SDLK_KP_3:
      return scan::kPageDown;
    case SDLK_KP_7:
      return scan::kHome;
    case SDLK_KP_1:
      return scan::kEnd;
    default:
      return -1;
  }
}

// One UTF-8 character as a Latin-1 byte, or -1.
int latin1_of(const char* text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  if (s[0] < 0x80) return s[0];
  if ((s[0] & 0xE0) == 0xC0 && (s[1] & 0xC0) == 0x80) {
    const int cp = ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    return cp < 256 ? cp : -1;
  }
  return -1;
}

}  // namespace

bool SdlScreen::handle(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      keys_.push_back(extended_key(scan::kClose));
      return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        keys_.push_back(extended_key(scan::kClose));
        return true;
      }
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
          e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        present_texture();
      }
      return false;
    case SDL_DROPFILE:
      if (e.drop.file != nullptr) {
        dropped_.emplace_back(e.drop.file);
        SDL_free(e.drop.file);
      }
      return true;
    case SDL_TEXTINPUT: {
      const SDL_Keymod mod = SDL_GetModState();
      if ((mod & (KMOD_ALT | KMOD_CTRL)) != 0) return true;  // chords are not typing
      const int c = latin1_of(e.text.text);
      if (c > 0) keys_.emplace_back(1, static_cast<char>(c));
      return true;
    }
    case SDL_KEYDOWN: {
      const SDL_Keycode key = e.key.keysym.sym;
      const Uint16 mod = e.key.keysym.mod;
      if (key == SDLK_LALT || key == SDLK_RALT) {
        if (e.key.repeat == 0) alt_tap_ = true;
        return true;
      }
      if ((mod & KMOD_ALT) != 0) {
        alt_consumed_ = true;  // Alt held as a modifier does not open the menus
        alt_tap_ = false;
        if (key == SDLK_F4) keys_.push_back(extended_key(scan::kClose));
        return true;
      }
      if (key == SDLK_F4 && (mod & KMOD_CTRL) != 0) {
        keys_.push_back(extended_key(scan::kCtrlF4));
        return true;
      }
      if ((mod & KMOD_CTRL) != 0 && (key == SDLK_z || key == SDLK_y)) {
        keys_.emplace_back(1, key == SDLK_z ? kUndoKey : kRedoKey);
        return true;
      }
      int code = extended_scan_of(key);
      if (code < 0 && (mod & KMOD_NUM) == 0) code = keypad_scan_of(key);
      if (code >= 0) {
        keys_.push_back(extended_key(code));
        return true;
      }
      switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
          keys_.emplace_back(1, kEnter);
          return true;
        case SDLK_TAB:
          keys_.emplace_back(1, kTab);
          return true;
        case SDLK_ESCAPE:
          keys_.emplace_back(1, kEscape);
          return true;
        case SDLK_BACKSPACE:
          keys_.emplace_back(1, kBackspace);
          return true;
        default:
          return true;  // characters arrive as text input
      }
    }
    case SDL_KEYUP:
      if (e.key.keysym.sym == SDLK_LALT || e.key.keysym.sym == SDLK_RALT) {
        if ((SDL_GetModState() & KMOD_ALT) == 0) alt_consumed_ = false;
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

bool SdlScreen::pump() {
  bool input = false;
  SDL_Event e;
  while (SDL_PollEvent(&e) != 0) input |= handle(&e);
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
      const bool down = state[SDL_SCANCODE_LALT] != 0 || state[SDL_SCANCODE_RALT] != 0;
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
      if (SDL_WaitEvent(&e) != 0) handle(&e);
    }
    return;
  }
  const Uint64 end = SDL_GetTicks64() + static_cast<Uint64>(milliseconds);
  for (;;) {
    const Uint64 now = SDL_GetTicks64();
    if (now >= end) return;
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, static_cast<int>(end - now)) != 0) {
      if (handle(&e)) return;  // input ends the wait early
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
