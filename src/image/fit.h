// The ways the user moves and zooms the view: fit to screen, original size, the view keys and
// the mouse. None touches pixels; each changes the view and says which redraw it needs.
#pragma once

#include <cstdint>

#include "image/view.h"

namespace img {

// Fits the picture to the screen, centred, with aspect 1. Returns true when it ran (the
// caller then asks for a full redraw); a picture with a side below 1 is left alone.
bool fit_to_screen(ViewState& view, std::int32_t image_w, std::int32_t image_h,
                   std::int32_t screen_w, std::int32_t screen_h);

// Aspect and scaling back to 1; the offsets stay. The caller asks for a full redraw.
void original_size(ViewState& view);

// Scan codes of the view keys (extended keys).
namespace viewkey {
constexpr int kUp = 72, kDown = 80, kLeft = 75, kRight = 77;
constexpr int kPageUp = 73, kPageDown = 81, kHome = 71, kEnd = 79;
}  // namespace viewkey

// Applies a view key (arrows step the offsets by 8 pixels, 64 with Shift; Page Up/Down scale
// the aspect by 0.95/1.05, Home/End the scaling). Returns the redraw request it needs, 0 when
// the key is not a view key. The keys put no bound on aspect and scaling.
int view_key(ViewState& view, int scan_code, bool shift);

// Mouse buttons for mouse_view.
constexpr int kLeftButton = 1, kRightButton = 2;

// The mouse view control of one input pass, with the pointer's movement (dx, dy) and the
// scaling and aspect as the previous pass ended. Both buttons: aspect drag (not below 0.1);
// left: pan at twice the pointer's speed; right: zoom drag (not below 0.01). Returns the
// redraw request (0, 1 or 2).
int mouse_view(ViewState& view, int buttons, std::int32_t dx, std::int32_t dy,
               float previous_scaling, float previous_aspect, std::int32_t screen_w);

// Joins two redraw requests of one pass: a full redraw is never lowered to a scroll.
constexpr int combine_redraw(int current, int request) {
  if (current == kRedrawFull || request == kRedrawFull) return kRedrawFull;
  if (current == kRedrawScroll || request == kRedrawScroll) return kRedrawScroll;
  return kRedrawNone;
}

}  // namespace img
