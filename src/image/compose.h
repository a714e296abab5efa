// The compose: an exact area average (box filter) in fixed point with 1/512-pixel steps that
// fills any rectangle of the displayed picture, for the view and for resizing.
#pragma once

#include <cstdint>
#include <vector>

#include "image/plane.h"

namespace img {

// One axis of the resampling, in 1/512 units: source pixels per displayed pixel (`step`) and
// displayed pixels per source pixel (`inverse`), both truncated. Kept wide so that no picture
// size overflows them.
struct AxisFactors {
  std::int64_t step = 0;
  std::int64_t inverse = 0;
};
AxisFactors axis_factors(std::int32_t source_size, std::int32_t display_size);

// Scratch for the fast compose, sized once (at start-up) for the widest source and the widest
// span it will be asked for. A compose that would not fit falls back to the plain rule.
class ComposeWorkspace {
 public:
  ComposeWorkspace() = default;
  // Returns false when the memory cannot be had (the workspace then stays empty).
  bool reserve(std::int32_t max_source_width, std::int32_t max_span_width);
  // The vector kernels are used when the processor has them; tests turn them off to check
  // the portable loops.
  void use_vector_kernels(bool on) { vector_ = on && vector_supported(); }
  bool vector_kernels() const { return vector_; }
  static bool vector_supported();

 private:
  friend class ComposeRun;
  std::int64_t tap_capacity_ = 0;   // column windows times taps
  std::int64_t span_capacity_ = 0;  // columns of the span, plus one
  bool vector_ = false;
  std::vector<std::int32_t> starts_;          // first source column of each window
  std::vector<std::int16_t> weights_;         // taps of each window, window after window
  std::vector<std::int16_t> vector_weights_;  // the same laid out for the vector kernel
  std::vector<std::uint32_t> row_values_;     // two source rows' values: 4 lanes a column
  std::vector<std::uint32_t> sums_;           // the vertical sums: 4 lanes a column
};

// Composes displayed pixels (X, Y), X = x0 … x1, Y = y0 … y1, of a display_w x display_h
// rendering of the src_w x src_h picture in `source`, writing pixel (X, Y) to
// target.at(X + off_x, Y + off_y). Does nothing when the display is below 2 in either
// direction; an empty source gives black. The span is clipped to the displayed picture.
void compose(ConstPlane source, std::int32_t src_w, std::int32_t src_h, std::int32_t display_w,
             std::int32_t display_h, std::int32_t x0, std::int32_t x1, std::int32_t y0,
             std::int32_t y1, Plane target, std::int32_t off_x, std::int32_t off_y,
             ComposeWorkspace& workspace);

// The same, pixel by pixel straight from the rule: slow, and the yardstick for the above.
void compose_reference(ConstPlane source, std::int32_t src_w, std::int32_t src_h,
                       std::int32_t display_w, std::int32_t display_h, std::int32_t x0,
                       std::int32_t x1, std::int32_t y0, std::int32_t y1, Plane target,
                       std::int32_t off_x, std::int32_t off_y);

}  // namespace img
