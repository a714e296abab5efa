// The typing rules of number entry, apart from the screen: which characters the field takes
// and the value they make.
#pragma once

#include <cstdint>

namespace menu {

constexpr int kNumberFieldLength = 7;  // the entry ends at the seventh accepted character

class TypedNumber {
 public:
  // Takes one typed character; true when it was accepted (and so is echoed). Digits, "."
  // and "-" are taken, anything else is ignored.
  bool type(char c);
  int count() const { return count_; }
  bool full() const { return count_ >= kNumberFieldLength; }
  // The digits as one number, divided by ten for every character accepted after the last
  // point (minus signs included), negative when any "-" was typed.
  float value() const;

 private:
  static constexpr int kNoPoint = kNumberFieldLength + 1;
  float accumulator_ = 0.0f;
  int count_ = 0;
  int point_position_ = kNoPoint;
  float sign_ = 1.0f;
};

// What an integer value slot keeps of a typed value: the nearest integer, halves to even.
std::int32_t typed_integer(float value);

}  // namespace menu
