// The input pass: focus and selection moves, hotkeys, mouse clicks and drags on the menus,
// function keys, and the view keys while no menu has the focus.
#pragma once

#include "core/app.h"
#include "core/main_loop.h"

namespace menu {

// Tests the Alt key; on a press moves the focus and asks for a present.
void alt_check(core::App& app);
core::PassEnd input_pass(core::App& app);

}  // namespace menu
