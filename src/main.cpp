// The veldran program: a picture viewer and editor in a window.
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "core/app.h"
#include "core/startup.h"
#include "platform/sdl_backend.h"

int main(int argc, char** argv) {
  platform::SdlScreen screen("Veldran");
  core::App app(screen);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  std::vector<std::string> warnings;
  const bool started = core::start_up(app, std::string(core::kSettingsFileName),
                                      core::join_arguments(arguments), error, warnings);
  for (const std::string& w : warnings) std::fprintf(stderr, "veldran: %s\n", w.c_str());
  if (!started) {
    std::fprintf(stderr, "veldran: %s\n", error.c_str());
    return 1;
  }
  return veldran::run_main_loop(app);
}
