// SDL key codes as the program's keystrokes (platform/keys.h): which keys are extended keys,
// which mean nothing, which are modifiers.
#pragma once

#include <SDL.h>

#include <string_view>

namespace platform::sdl_keys {

// The scan code of a key that is an extended keystroke by itself (F1, arrows, ...; the
// keypad's without Num Lock), or -1.
int extended_scan_of(SDL_Keycode key, Uint16 mod);

// The scan code for a key press that means nothing to the program (F5, Delete, a chord).
int unassigned_scan_of(SDL_Keycode key);

// Shift, Ctrl, Alt, the logo keys, the locks: pressed alone they are no keystroke.
bool is_modifier(SDL_Keycode key);

// True when `text` is the key's own character, as the key types it without Shift: the text
// an Alt chord brings along, which is not typing.
bool is_own_character(std::string_view text, SDL_Keycode key);

}  // namespace platform::sdl_keys
