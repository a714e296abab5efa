// The ways the user moves and zooms the view: fit to screen, original size, the view keys and
// the mouse. None touches pixels; each changes the view and says which redraw it needs.
#pragma once

#include <cstdint>

#include "image/view.h"
#include "platform/keys.h"

namespace img {

// Fits the picture to the screen, centred, with aspect 1. Returns true when it ran (the
// caller then asks for a full redraw); a picture with a side below 1 is left alone.
bool fit_to_screen(ViewState& view, std::int32_t image_w, std::int32_t image_h,
                   std::int32_t screen_w, std::int32_t screen_h);

// Aspect and scaling back to 1; the offsets stay. The caller asks for a full redraw.
void original_size(ViewState& view);

// Applies a view key (arrows step the offsets by 8 pixels, 64 with Shift; Page Up/Down scale
// the aspect by 0.95/1.05, Home/End the scaling). Returns the redraw request it needs, none when
// the key is not a view key. The keys put no bound on aspect and scaling.
Redraw view_key(ViewState& view, int scan_code, bool shift);

// Mouse buttons for mouse_view.
constexpr int kLeftButton = 1, kRightButton = 2;

// The mouse view control of one input pass, with the pointer's movement (dx, dy) and the
// scaling and aspect as the previous pass ended. Both buttons: aspect drag (not below 0.1);
// left: pan at twice the pointer's speed; right: zoom drag (not below 0.01). Returns the
// redraw request.
Redraw mouse_view(ViewState& view, int buttons, std::int32_t dx, std::int32_t dy,
                  float previous_scaling, float previous_aspect, std::int32_t screen_w);

// Joins two redraw requests of one pass: a full redraw is never lowered to a scroll.
constexpr Redraw combine_redraw(Redraw current, Redraw request) {
  if (current == Redraw::kFull || request == Redraw::kFull) return Redraw::kFull;
  if (current == Redraw::kScroll || request == Redraw::kScroll) return Redraw::kScroll;
  return Redraw::kNone;
}

}  // namespace img
