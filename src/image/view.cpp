#include "image/view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/view_controls.h"

namespace img {

namespace {

// Everything a scroll needs besides the view itself.
struct Screen {
  ConstPlane source;
  std::int32_t image_w, image_h;
  Plane back;
  std::int32_t width, height;
  ComposeWorkspace& workspace;
};

void compose_span(const ViewState& view, const Screen& s, Span span) {
  compose(s.source, s.image_w, s.image_h, view.display_width, view.display_height, span.x0, span.x1,
          span.y0, span.y1, s.back, view.h_offset, view.v_offset, s.workspace);
}

void zero_columns(Pixel* row, std::int64_t from, std::int64_t to, std::int32_t width) {
  from = std::max<std::int64_t>(from, 0);
  to = std::min<std::int64_t>(to, width - 1);
  if (from <= to) std::fill(row + from, row + to + 1, Pixel{0});
}

// Moves the picture's rows sideways to the requested h offset and composes the columns that
// come into view (and the one beside them).
void scroll_horizontal(ViewState& view, const Screen& s) {
  const std::int64_t dx = std::int64_t{view.h_offset} - view.requested_h;
  std::int64_t c0 = std::max(view.requested_h, 0);
  std::int64_t c1 =
      std::min<std::int64_t>(std::int64_t{view.requested_h} + view.display_width - 1, s.width - 1);
  const std::int64_t r0 = std::max(view.v_offset, 0);
  const std::int64_t r1 =
      std::min<std::int64_t>(std::int64_t{view.v_offset} + view.display_height - 1, s.height - 1);
  bool needs_compose = false;
  if (dx > 0 && c1 + dx > s.width - 1) {
    c1 = s.width - 1 - dx;
    needs_compose = true;
  }
  if (dx < 0 && c0 + dx < 0) {
    c0 = -dx;
    needs_compose = true;
  }
  for (std::int64_t r = r0; r <= r1; ++r) {
    Pixel* row = s.back.row(static_cast<std::int32_t>(r));
    if (c0 <= c1) std::memmove(row + c0, row + c0 + dx, std::size_t(c1 - c0 + 1) * sizeof(Pixel));
    if (dx > 0) {
      zero_columns(row, c1 + 1, s.width - 1, s.width);
    } else {
      zero_columns(row, 0, c0 - 1, s.width);
    }
  }
  view.h_offset = view.requested_h;
  if (!needs_compose) return;
  Span span = visible_span(view, s.width, s.height);
  // The strip is clipped to the visible span: a move wider than the picture's visible part
  // composes all of it, never columns off the screen.
  if (dx > 0) span.x0 = static_cast<std::int32_t>(std::max<std::int64_t>(span.x1 - dx, span.x0));
  if (dx < 0) span.x1 = static_cast<std::int32_t>(std::min<std::int64_t>(span.x0 - dx, span.x1));
  compose_span(view, s, span);
}

// The same up and down, run after the horizontal move, within the picture's new columns.
void scroll_vertical(ViewState& view, const Screen& s) {
  const std::int64_t dy = std::int64_t{view.v_offset} - view.requested_v;
  const std::int64_t c0 = std::max(view.h_offset, 0);
  const std::int64_t c1 =
      std::min<std::int64_t>(std::int64_t{view.h_offset} + view.display_width - 1, s.width - 1);
  std::int64_t r0 = std::max(view.requested_v, 0);
  std::int64_t r1 = std::min<std::int64_t>(std::int64_t{view.requested_v} + view.display_height - 1,
                                           s.height - 1);
  bool needs_compose = false;
  if (dy > 0 && r1 + dy > s.height - 1) {
    r1 = s.height - 1 - dy;
    needs_compose = true;
  }
  if (dy < 0 && r0 + dy < 0) {
    r0 = -dy;
    needs_compose = true;
  }
  if (c0 <= c1) {
    const std::size_t bytes = std::size_t(c1 - c0 + 1) * sizeof(Pixel);
    auto row = [&](std::int64_t r) { return s.back.row(static_cast<std::int32_t>(r)) + c0; };
    if (dy > 0) {
      for (std::int64_t r = r0; r <= r1; ++r) std::memcpy(row(r), row(r + dy), bytes);
      for (std::int64_t r = std::max<std::int64_t>(r1 + 1, 0); r < s.height; ++r) {
        std::memset(row(r), 0, bytes);
      }
    } else {
      if (dy < 0) {
        for (std::int64_t r = r1; r >= r0; --r) std::memcpy(row(r), row(r + dy), bytes);
      }
      for (std::int64_t r = std::min<std::int64_t>(r0 - 1, s.height - 1); r >= 0; --r) {
        std::memset(row(r), 0, bytes);
      }
    }
  }
  view.v_offset = view.requested_v;
  if (!needs_compose) return;
  Span span = visible_span(view, s.width, s.height);
  if (dy > 0) span.y0 = static_cast<std::int32_t>(std::max<std::int64_t>(span.y1 - dy, span.y0));
  if (dy < 0) span.y1 = static_cast<std::int32_t>(std::min<std::int64_t>(span.y0 - dy, span.y1));
  compose_span(view, s, span);
}

}  // namespace

std::int32_t to_display_size(double size) {
  const double rounded = std::nearbyint(size);  // the default mode: nearest, halves to even
  if (!(rounded > 0)) return 0;                 // also not a number
  if (rounded >= kMaxDisplaySize) return kMaxDisplaySize;
  return static_cast<std::int32_t>(rounded);
}

void update_display_size(ViewState& view, std::int32_t image_w, std::int32_t image_h) {
  const double scaling = view.scaling;
  view.display_width =
      to_display_size(static_cast<double>(image_w) * scaling * double{view.aspect});
  view.display_height = to_display_size(static_cast<double>(image_h) * scaling);
}

Span visible_span(const ViewState& view, std::int32_t screen_w, std::int32_t screen_h) {
  const std::int64_t h = view.h_offset, v = view.v_offset;
  Span s;
  s.x0 = static_cast<std::int32_t>(std::max<std::int64_t>(0, -h));
  s.y0 = static_cast<std::int32_t>(std::max<std::int64_t>(0, -v));
  s.x1 =
      static_cast<std::int32_t>(std::min<std::int64_t>(screen_w - 1 - h, view.display_width - 1));
  s.y1 =
      static_cast<std::int32_t>(std::min<std::int64_t>(screen_h - 1 - v, view.display_height - 1));
  return s;
}

void view_update(ViewState& view, Redraw redraw, bool fit_first, ConstPlane source,
                 std::int32_t image_w, std::int32_t image_h, Plane back, std::int32_t screen_w,
                 std::int32_t screen_h, ComposeWorkspace& workspace) {
  if (redraw != Redraw::kFull && redraw != Redraw::kScroll) return;
  if (image_w < 1 || image_h < 1 || screen_w < 1 || screen_h < 1) return;
  view.requested_h = std::min(view.requested_h, screen_w - 1);
  view.requested_v = std::min(view.requested_v, screen_h - 1);
  if (fit_first && fit_to_screen(view, image_w, image_h, screen_w, screen_h))
    redraw = Redraw::kFull;
  const std::int32_t shown_w = view.display_width, shown_h = view.display_height;
  update_display_size(view, image_w, image_h);
  // What is on screen can only be moved when it has the size to be shown; a scroll asked
  // for in the same pass as a zoom becomes a full redraw.
  if (view.display_width != shown_w || view.display_height != shown_h) redraw = Redraw::kFull;
  // At least one column and one row of the picture stay on screen.
  if (std::int64_t{view.display_width} + view.requested_h < 1) {
    view.requested_h = 1 - view.display_width;
  }
  if (std::int64_t{view.display_height} + view.requested_v < 1) {
    view.requested_v = 1 - view.display_height;
  }
  const Screen s{source, image_w, image_h, back, screen_w, screen_h, workspace};
  if (redraw == Redraw::kScroll) {
    scroll_horizontal(view, s);
    scroll_vertical(view, s);
  }
  view.h_offset = view.requested_h;
  view.v_offset = view.requested_v;
  if (redraw == Redraw::kFull) {
    for (std::int32_t r = 0; r < screen_h; ++r) std::fill_n(back.row(r), screen_w, Pixel{0});
    compose_span(view, s, visible_span(view, screen_w, screen_h));
  }
}

}  // namespace img
