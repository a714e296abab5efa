#include "menu/dispatch.h"

#include "core/crop_tool.h"
#include "core/operations.h"
#include "core/prompt.h"
#include "menu/number_entry.h"

namespace menu {

namespace {

Activation redrawn(core::App& app) {
  app.frame.present_request = true;
  return Activation::kMenusRedrawn;
}

Activation pass_ended_with_reprocess(core::App& app) {
  app.frame.reprocess_request = true;
  return Activation::kPassEnded;
}

Activation run_command(core::App& app, Command command, int panel) {
  switch (command) {
    case Command::kQuit:
      return Activation::kQuit;
    case Command::kOpen:
      core::open_prompt(app);
      return pass_ended_with_reprocess(app);
    case Command::kSave:
      core::save_picture(app, 24);
      return redrawn(app);
    case Command::kSaveAs24:
      core::save_prompt(app, 24);
      return redrawn(app);
    case Command::kSaveAs15:
      core::save_prompt(app, 16);
      return redrawn(app);
    case Command::kSaveAs8:
      if (!app.option(option::kUsePalette)) {
        app.set_status(Status::kNotPalettized);
      } else {
        core::save_prompt(app, 8);
      }
      return redrawn(app);
    case Command::kClose:
      app.menus.close_panel(panel);
      return redrawn(app);
    case Command::kOriginalSize:
      core::original_size(app);
      return Activation::kPassEnded;
    case Command::kFlipX:
      core::flip_x(app);
      return pass_ended_with_reprocess(app);
    case Command::kFlipY:
      core::flip_y(app);
      return pass_ended_with_reprocess(app);
    case Command::kBenchmark:
      app.frame.benchmark_start = app.screen.timer();
      app.frame.frame_counter = 0.0;
      app.frame.interaction_mode = core::kBenchmarkMode;
      return pass_ended_with_reprocess(app);
    case Command::kConfirm:
      if (panel == core::panel_id::kRotate) {
        // A rotation that changed nothing (refused, or whole turns) shows the menus again.
        return core::rotate_picture(app) ? pass_ended_with_reprocess(app) : redrawn(app);
      }
      if (panel != core::panel_id::kResize) return redrawn(app);
      core::resize_picture(app);
      // A refused resize changed nothing: show its message with the menus.
      if (app.status() == Status::kSizeTooLarge) return redrawn(app);
      return pass_ended_with_reprocess(app);
    case Command::kFitToScreen:
      core::fit_to_screen(app);
      return Activation::kPassEnded;
  }
  return redrawn(app);
}

}  // namespace

Activation activate(core::App& app, int index) {
  const OpenEntry& entry = app.menus.entry(index);
  const MenuItem& item = *entry.item;
  switch (item.kind) {
    case Kind::kLabel:
    case Kind::kShownValue:
      return redrawn(app);
    case Kind::kOpener:
      app.menus.open_panel(item.argument);
      return redrawn(app);
    case Kind::kCheckBox:
      app.menus.toggle_option(item.argument);
      if (!app.option(option::kCropTool)) core::drop_crop_selection(app);
      return pass_ended_with_reprocess(app);
    case Kind::kEditedValue:
      return number_entry(app, index) == EntryEnd::kAbandoned ? Activation::kMenusRedrawn
                                                              : Activation::kPassEnded;
    case Kind::kCommand:
      return run_command(app, static_cast<Command>(item.argument), entry.panel);
  }
  return redrawn(app);
}

}  // namespace menu
