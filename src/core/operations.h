// The operations the main loop and the menus ask for, joining the App's state to the
// pure routines of formats/ and image/.
#pragma once

#include <string>

#include "core/app.h"

namespace core {

// Sizes the view's and the palette stage's working memory for the App's store and screen
// (once, at start-up). False with a reason when the memory cannot be had.
bool prepare_engines(App& app, std::string& error);

// Loads the picture named by the requested name into the working image; sets the status
// message and, when the load got far enough, the current name.
void load_requested_picture(App& app);
// The same for F3 and F4: the picture prepared in the background when it is the requested
// file, unchanged since, and the result is the load's own; otherwise a load of the file.
void load_browsed_picture(App& app);
// After a picture is shown: has the picture F3 or F4 (the direction last browsed) would load
// next prepared in the background.
void prepare_neighbour(App& app);
// Rebuilds the processed image from the working image through the enabled stages.
void run_pipeline(App& app);
// Composes the view into the back buffer for the pending redraw request.
void update_view(App& app);
// Converts the back buffer into the screen's framebuffer (inside the main loop's lock).
void present_back_buffer(App& app);
// Saves the picture under the current name at 24, 16 or 8 bits per pixel; refused ("file
// not saved") for an empty picture and for one a failed load left (see App::broken_picture).
void save_picture(App& app, int depth);
void fit_to_screen(App& app);
void original_size(App& app);
void flip_x(App& app);
void flip_y(App& app);
// Resizes the working image to "nEw x" x "neW y".
void resize_picture(App& app);
// Undo and redo of the operations that change the working image; false when there is
// nothing to undo (redo).
bool undo(App& app);
bool redo(App& app);
// Rotates the working image by "Angle" degrees clockwise, then the automatic fit when it is
// on. False when nothing changed (no picture, whole turns, or refused as too large, with the
// status message set).
bool rotate_picture(App& app);
// The view keys (arrows, Page Up/Down, Home, End); returns true when the key was one.
bool view_key(App& app, int scan_code);
// The mouse view control at the end of an input pass.
void mouse_view(App& app);

}  // namespace core
