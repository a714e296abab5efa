// The view: how the picture is scaled, stretched and placed on the screen, and the view
// update that composes it into the back buffer.
#pragma once

#include <cstdint>

#include "image/compose.h"
#include "image/plane.h"

namespace img {

struct ViewState {
  float scaling = 1.0f, aspect = 1.0f;
  std::int32_t h_offset = 0, v_offset = 0;  // of the last composition
  std::int32_t requested_h = 0, requested_v = 0;
  std::int32_t display_width = 0, display_height = 0;
};

// What the next pass must do to the back buffer: nothing, compose everything, or move what
// is on screen and compose only the newly uncovered strips.
enum class Redraw : std::uint8_t { kNone = 0, kFull = 1, kScroll = 2 };

// The largest display size: display size x 512 stays within a signed 32-bit value, so every
// offset and fixed-point position derived from it does too.
constexpr std::int32_t kMaxDisplaySize = 0x7FFFFFFF / 512;

// A size in pixels from a floating-point product: rounded to the nearest integer, halves to
// even, then held within 0 … kMaxDisplaySize (not a number counts as 0).
std::int32_t to_display_size(double size);

// display width = image width x scaling x aspect, display height = image height x scaling.
void update_display_size(ViewState& view, std::int32_t image_w, std::int32_t image_h);

// First and last displayed-picture column and row on screen.
struct Span {
  std::int32_t x0, x1, y0, y1;
};
Span visible_span(const ViewState& view, std::int32_t screen_w, std::int32_t screen_h);

// The view update for redraw request 1 (clear and compose everything) or 2 (move what is on
// screen and compose the strips that come into view), with the automatic fit first when
// `fit_first` is set; the requested offsets are bounded and become the offsets. An empty
// picture leaves the back buffer as it was. `back` is screen_w x screen_h pixel words.
void view_update(ViewState& view, Redraw redraw, bool fit_first, ConstPlane source,
                 std::int32_t image_w, std::int32_t image_h, Plane back, std::int32_t screen_w,
                 std::int32_t screen_h, ComposeWorkspace& workspace);

}  // namespace img
