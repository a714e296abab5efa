#include "menu/typed_number.h"

#include <cmath>

namespace menu {

bool TypedNumber::type(char c) {
  if (full()) return false;
  if (c >= '0' && c <= '9') {
    accumulator_ = accumulator_ * 10.0f + static_cast<float>(c - '0');
  } else if (c == '-') {
    sign_ = -1.0f;
  } else if (c != '.') {
    return false;
  }
  ++count_;
  if (c == '.') point_position_ = count_;
  return true;
}

float TypedNumber::value() const {
  float v = accumulator_;
  for (int p = point_position_; p < count_; ++p) v = v / 10.0f;
  return sign_ * v;
}

std::int32_t typed_integer(float value) {
  // The default rounding mode rounds halves to even; seven characters keep it within int32.
  return static_cast<std::int32_t>(std::nearbyint(value));
}

}  // namespace menu
