// The menu layer reads and changes the App's menu model (the constant table and the live
// open-entry list, options and values) under the model's own names.
#pragma once

#include "core/menu_state.h"
#include "core/menu_table.h"
#include "platform/status.h"

namespace menu {

using core::Command;
using core::Kind;
using core::kMenuBarRow;
using core::kOpenEntryCapacity;
using core::kPanelCount;
using core::MenuItem;
using core::Menus;
using core::MenuState;
using core::OpenEntry;
using core::Panel;
using core::panel;
using platform::Status;
namespace option = core::option;
namespace slot = core::slot;

}  // namespace menu
