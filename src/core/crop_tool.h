// The crop Tool: a rectangle of the picture selected by a left drag through the view, shown
// as a frame over the presented picture (never in the back buffer), cropped to by Enter.
#pragma once

#include <string>

#include "core/app.h"
#include "image/crop.h"

namespace core {

// A left press with the crop Tool on, the menus inactive and not on a menu entry: on the
// displayed picture it starts a selection at the pixel under the pointer, elsewhere it drops
// the selection. Returns true when a selection was started.
bool crop_press(App& app);
// While the selection is dragged with the left button alone, its far corner follows the
// pointer, clamped to the picture; returns true then (the pass does not pan). Releasing the
// button ends the drag.
bool crop_drag(App& app);
// Enter crops to the selection, Esc drops it (menus inactive, a selection present); returns
// true when the key was used so.
bool crop_key(App& app, const std::string& key);
// Forgets the selection (a load, a change of the picture, the Tool switched off).
void drop_crop_selection(App& app);
// The selection in picture pixels, w 0 when there is none.
img::PixelRect crop_selection(const App& app);
// Draws the selection's frame, dashed black and white, over the framebuffer (inside the
// present's lock, before the menus).
void draw_crop_frame(App& app);

}  // namespace core
