#include "image/view_controls.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace img {

namespace {

// Offsets move by whole pixels and saturate rather than wrap; the view update bounds them.
std::int32_t add_saturated(std::int32_t a, std::int64_t b) {
  const std::int64_t sum = std::int64_t{a} + b;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Half of the rounded margin, truncated towards zero: an odd pixel goes right or down.
std::int32_t centring_offset(std::int32_t screen, std::int32_t image, float scaling) {
  const double margin =
      std::nearbyint(static_cast<double>(screen) - static_cast<double>(image) * double{scaling});
  const double bounded = std::clamp(margin, -2.0 * kMaxDisplaySize, 2.0 * kMaxDisplaySize);
  return static_cast<std::int32_t>(static_cast<std::int64_t>(bounded) / 2);
}

// Factors are worked out in double precision and kept in single precision.
float scaled(float value, double factor) {
  return static_cast<float>(double{value} * factor);
}

}  // namespace

bool fit_to_screen(ViewState& view, std::int32_t image_w, std::int32_t image_h,
                   std::int32_t screen_w, std::int32_t screen_h) {
  // An empty side would make a ratio infinite: such a picture shows nothing anyway.
  if (image_w < 1 || image_h < 1) return false;
  view.aspect = 1.0f;
  const auto sx = static_cast<float>(static_cast<double>(screen_w) / image_w);
  const auto sy = static_cast<float>(static_cast<double>(screen_h) / image_h);
  view.scaling = sx < sy ? sx : sy;
  view.requested_h = centring_offset(screen_w, image_w, view.scaling);
  view.requested_v = centring_offset(screen_h, image_h, view.scaling);
  return true;
}

void original_size(ViewState& view) {
  view.aspect = 1.0f;
  view.scaling = 1.0f;
}

Redraw view_key(ViewState& view, int scan_code, bool shift) {
  const int step = shift ? 64 : 8;
  switch (scan_code) {
    case platform::scan::kDown:
      view.requested_v = add_saturated(view.requested_v, -step);
      return Redraw::kScroll;
    case platform::scan::kRight:
      view.requested_h = add_saturated(view.requested_h, -step);
      return Redraw::kScroll;
    case platform::scan::kLeft:
      view.requested_h = add_saturated(view.requested_h, step);
      return Redraw::kScroll;
    case platform::scan::kUp:
      view.requested_v = add_saturated(view.requested_v, step);
      return Redraw::kScroll;
    case platform::scan::kPageUp:
      view.aspect = scaled(view.aspect, 0.95);
      return Redraw::kFull;
    case platform::scan::kPageDown:
      view.aspect = scaled(view.aspect, 1.05);
      return Redraw::kFull;
    case platform::scan::kHome:
      view.scaling = scaled(view.scaling, 0.95);
      return Redraw::kFull;
    case platform::scan::kEnd:
      view.scaling = scaled(view.scaling, 1.05);
      return Redraw::kFull;
    default:
      return Redraw::kNone;
  }
}

Redraw mouse_view(ViewState& view, int buttons, std::int32_t dx, std::int32_t dy,
                  float previous_scaling, float previous_aspect, std::int32_t screen_w) {
  // A drag across the whole screen width adds 1 to the factor.
  const double change = screen_w > 0 ? static_cast<double>(dx) / screen_w : 0.0;
  if ((buttons & (kLeftButton | kRightButton)) == (kLeftButton | kRightButton)) {
    view.aspect = static_cast<float>(double{previous_aspect} + change);
    if (view.aspect < 0.1) view.aspect = 0.1f;
    return view.aspect != previous_aspect ? Redraw::kFull : Redraw::kNone;
  }
  if (buttons & kLeftButton) {
    view.requested_h = add_saturated(view.requested_h, 2 * std::int64_t{dx});
    view.requested_v = add_saturated(view.requested_v, 2 * std::int64_t{dy});
    return Redraw::kScroll;
  }
  if (buttons & kRightButton) {
    view.scaling = static_cast<float>(double{previous_scaling} + change);
    if (view.scaling < 0.01) view.scaling = 0.01f;
    return view.scaling != previous_scaling ? Redraw::kFull : Redraw::kNone;
  }
  return Redraw::kNone;
}

}  // namespace img
