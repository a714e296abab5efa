#include "platform/sdl_keys.h"

#include "platform/keys.h"

namespace platform::sdl_keys {

int extended_scan_of(SDL_Keycode key, Uint16 mod) {
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
      break;
  }
  if ((mod & KMOD_NUM) != 0) return -1;
  // The keypad without Num Lock gives the same extended keys.
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

int unassigned_scan_of(SDL_Keycode key) {
  switch (key) {
    case SDLK_F5:
      return scan::kF5;
    case SDLK_F6:
      return scan::kF6;
    case SDLK_F7:
      return scan::kF7;
    case SDLK_F8:
      return scan::kF8;
    case SDLK_F9:
      return scan::kF9;
    case SDLK_F10:
      return scan::kF10;
    case SDLK_INSERT:
      return scan::kInsert;
    case SDLK_DELETE:
      return scan::kDelete;
    default:
      return scan::kOtherKey;
  }
}

bool is_modifier(SDL_Keycode key) {
  switch (key) {
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
    case SDLK_LCTRL:
    case SDLK_RCTRL:
    case SDLK_LALT:
    case SDLK_RALT:
    case SDLK_LGUI:
    case SDLK_RGUI:
    case SDLK_MODE:
    case SDLK_CAPSLOCK:
    case SDLK_NUMLOCKCLEAR:
    case SDLK_SCROLLLOCK:
      return true;
    default:
      return false;
  }
}

bool is_own_character(std::string_view text, SDL_Keycode key) {
  if (text.size() != 1) return false;
  const auto lower = [](int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  return lower(static_cast<unsigned char>(text[0])) == lower(static_cast<int>(key));
}

}  // namespace platform::sdl_keys
