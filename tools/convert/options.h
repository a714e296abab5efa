// Command-line options of veldran-convert. Settings (sizes, output depth, the colour
// stages) are plain fields; geometric operations on the picture are steps, run in the order
// they were given, before the colour stages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image/colour_settings.h"
#include "image/compose.h"
#include "image/image_store.h"
#include "platform/status.h"

namespace convert {

// What a step may touch besides the picture.
struct StepContext {
  img::ImageStore& store;
  img::ComposeWorkspace& compose;
  bool failed = false;  // set by a step that said on stderr why it did nothing
};

struct Step {
  std::string name;
  std::function<platform::Status(StepContext&)> apply;  // kNone when all went well
};

struct Options {
  std::string input;
  std::string output;
  int depth = 24;
  std::int32_t max_width = 4096;
  std::int32_t max_height = 4096;
  bool help = false;
  bool upright = true;  // JPEG pictures turned upright by their orientation tag
  bool zone_given = false;
  std::vector<Step> steps;      // between the load and the colour stages
  img::ColourSettings colours;  // the stages the options switch on, as the menus would
};

// Fills `options` from argv[1..]; returns false with a reason in `error` on bad arguments.
bool parse_options(int argc, const char* const* argv, Options& options, std::string& error);

// The text printed for --help and after bad arguments.
std::string_view usage_text();

}  // namespace convert
