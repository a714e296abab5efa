// The filename prompt: a small framed box over the screen that asks for a file name, and
// the two prompts that use it, for opening and for saving under a new name.
#pragma once

#include <string_view>

#include "core/app.h"

namespace core {

inline constexpr std::string_view kOpenTitle = "  OPEN  - enter filename  ";
inline constexpr std::string_view kSaveTitle = "  SAVE  - enter filename  ";

// Draws the box with `title` straight onto the screen and reads the answer into the
// requested name. The box stays until the next present.
void filename_box(App& app, std::string_view title);

// Asks for a name and loads it; an empty answer gives "Canceled." and loads nothing.
void open_prompt(App& app);
// Asks for a name, makes it the current name and saves at `depth` bits per pixel; an empty
// answer gives "Canceled." and changes nothing.
void save_prompt(App& app, int depth);

}  // namespace core
