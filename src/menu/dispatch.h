// Activation: what choosing an open entry does, by the kind of its item and, for commands,
// by the command number. Every way of choosing (Enter, hotkey, Down on a title, a left
// click) ends here.
#pragma once

#include "core/app.h"
#include "menu/model.h"

namespace menu {

enum class Activation {
  kMenusRedrawn,  // the present request is set; the input pass goes on with the mouse view
  kPassEnded,     // the input pass ends; the requests set lead to a new frame
  kQuit,          // the program ends with exit code 0
};

Activation activate(core::App& app, int index);

}  // namespace menu
