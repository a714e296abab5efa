// Rotate: the working image turned clockwise (as seen on the screen) about its centre.
// Whole quarter turns move pixels exactly; any other angle resamples with a fixed-point
// cubic filter into the smallest grid-aligned rectangle that holds the turned picture.
#pragma once

#include <array>
#include <cstdint>

#include "image/image_store.h"
#include "platform/status.h"

namespace img {

// Fixed-point units of the resampled rotation.
constexpr int kTrigBits = 24;                 // cosine and sine in units of 2^-24
constexpr int kPositionBits = kTrigBits + 1;  // source positions in units of 2^-25 pixel
constexpr int kPhaseBits = 8;                 // a position's fraction, rounded to 1/256 pixel
constexpr int kTapBits = 11;                  // the four taps of a phase add up to 2^11

// What a rotation of a w x h picture by `degrees` does. The sample position of new pixel
// (X, Y), with a = 2X + 1 - width and b = 2Y + 1 - height, is
//   u = ((w - 1) * 2^24 + a * cosine + b * sine) / 2^25,
//   v = ((h - 1) * 2^24 - a * sine + b * cosine) / 2^25
// in old pixel coordinates (pixel i's centre at i).
struct RotationPlan {
  int quarter_turns = 0;    // 0 to 3 for a whole number of quarter turns, -1 to resample
  std::int64_t cosine = 0;  // round(cos(angle) * 2^24)
  std::int64_t sine = 0;    // round(sin(angle) * 2^24)
  std::int32_t width = 0;   // the new picture
  std::int32_t height = 0;
};

// The angle is reduced modulo 360; a non-finite angle turns nothing. For a resampled angle the
// new width is the turned extent (w |cosine| + h |sine|) / 2^24, less a 1/256-pixel allowance,
// rounded up to a whole number, and up once more when needed so that new width - w is even
// (the new height likewise with h): the new pixel grid then lines up with the old one about
// the shared centre, and a turn and its reverse bring every pixel back to its own place.
RotationPlan plan_rotation(std::int32_t w, std::int32_t h, float degrees);

// The taps for weights of a phase p (0 … 255), for the source pixels at floor - 1 … floor + 2:
// Catmull-Rom's cubic at t = p / 256, each weight rounded to 1/2048 (halves up) and the
// largest middle tap taking up the rounding so that the four add up to exactly 2048.
using CubicTaps = std::array<std::int16_t, 4>;
CubicTaps cubic_taps(int phase);

// Turns the picture by `degrees` clockwise, through the processed image as scratch (the caller
// asks for it to be rebuilt). A resampled pixel whose position lies more than one pixel outside
// the old picture (u < -1, u > w, v < -1 or v > h) is black; every other one is the 4 x 4 cubic
// interpolation at its position, rounded to 1/256, of the old picture padded with black:
//   component = clamp((sum over rows of tap_v * (sum over columns of tap_u * c) + 2^21) >> 22).
// A new size beyond the store's columns or rows gives kSizeTooLarge and changes nothing; no
// picture, or a whole number of full turns, changes nothing. `threads` splits the rows (0: as
// many as the processor runs); the result does not depend on it, nor on whether the vector
// kernel is used where the processor has it (tests turn it off to check the plain loops).
platform::Status rotate_picture(ImageStore& store, float degrees, int threads = 0,
                                bool vector_kernels = true);
bool rotate_vector_supported();

}  // namespace img
