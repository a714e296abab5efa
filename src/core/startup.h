// Start-up: settings, the screen, every buffer at its final size, the initial state, and
// the picture named on the command line.
#pragma once

#include <string>
#include <vector>

#include "core/app.h"
#include "core/colours.h"

namespace core {

// The arguments after the program name joined with single blanks.
std::string join_arguments(const std::vector<std::string>& arguments);

// An interface colour as an index of the 8-bit interface palette.
std::uint32_t palette_index_of(std::uint32_t colour);

// Runs start-up on a fresh App. Returns false, with a message for the user in `error`, when
// the program cannot run (no screen, no memory for the image store). Warnings about
// settings that were replaced by the built-in values go to `warnings`.
bool start_up(App& app, const std::string& settings_path, const std::string& first_picture,
              std::string& error, std::vector<std::string>& warnings);

}  // namespace core
