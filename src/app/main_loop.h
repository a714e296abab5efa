// The main loop: each pass honours the pending requests (reprocess, redraw, present) in
// that order, then reads the mouse and at most one keystroke and hands them to the menus.
// This is the one place that knows both the App's operations and the menus.
#pragma once

#include "core/app.h"
#include "menu/input.h"

namespace veldran {

// Runs passes until the program ends; returns the exit code.
int run_main_loop(core::App& app);
menu::PassEnd run_pass(core::App& app);

}  // namespace veldran
