// Carves typed arrays out of one allocation, each on a 64-byte boundary. A carver over a null
// base only measures: carve once with it, allocate used() bytes, then carve again for real.
#pragma once

#include <cstddef>
#include <cstdint>

namespace img {

class Carver {
 public:
  explicit Carver(void* base) : base_(static_cast<std::uint8_t*>(base)) {}
  template <typename T>
  T* take(std::size_t n) {
    T* p = base_ == nullptr ? nullptr : reinterpret_cast<T*>(base_ + used_);
    used_ += (n * sizeof(T) + 63) & ~std::size_t{63};
    return p;
  }
  std::size_t used() const { return used_; }

 private:
  std::uint8_t* base_;
  std::size_t used_ = 0;
};

}  // namespace img
