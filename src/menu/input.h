// The input pass: focus and selection moves, hotkeys, mouse clicks and drags on the menus,
// function keys, and the view keys while no menu has the focus.
#pragma once

#include "core/app.h"
#include "menu/model.h"

namespace menu {

enum class PassEnd {
  kEndOfPass,  // record the mouse position, scaling and aspect, then the next pass
  kNextPass,   // straight to the next pass
  kQuit,       // end the program with exit code 0
};

// Tests the Alt key; on a press moves the focus and asks for a present.
void alt_check(core::App& app);
PassEnd input_pass(core::App& app);

}  // namespace menu
