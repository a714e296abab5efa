// Reading the mouse once a pass: position clamped to the screen, buttons, and the presses
// that began since the last reading.
#pragma once

#include "core/app.h"

namespace core {

void poll_mouse(App& app);

}  // namespace core
