// The main loop: each pass honours the pending requests (reprocess, redraw, present) in
// that order, then reads the mouse and at most one keystroke and acts on them.
#pragma once

#include "core/app.h"

namespace core {

enum class PassEnd {
  kEndOfPass,  // record the mouse position, scaling and aspect, then the next pass
  kNextPass,   // straight to the next pass
  kQuit,       // end the program with exit code 0
};

// Runs passes until the program ends; returns the exit code.
int run_main_loop(App& app);
PassEnd run_pass(App& app);

// Reads the mouse into the mouse state (also used by number entry).
void poll_mouse(App& app);

}  // namespace core
