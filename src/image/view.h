// The view: how the picture is scaled, stretched and placed on the screen, and the view
// update that composes it into the back buffer.
#pragma once

#include <cstdint>

#include "image/plane.h"

namespace img {

struct ViewState {
  float scaling = 1.0f, aspect = 1.0f;
  std::int32_t h_offset = 0, v_offset = 0;  // of the last composition
  std::int32_t requested_h = 0, requested_v = 0;
  std::int32_t display_width = 0, display_height = 0;
};

}  // namespace img
