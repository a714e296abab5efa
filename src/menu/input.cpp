#include "menu/input.h"

#include "platform/keys.h"

namespace menu {
void alt_check(core::App&) {}
core::PassEnd input_pass(core::App& app) {
  if (platform::is_extended(app.keystroke, platform::scan::kClose)) return core::PassEnd::kQuit;
  return core::PassEnd::kEndOfPass;
}
}  // namespace menu
