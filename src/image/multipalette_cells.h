// Colours gathered into cells of the 6-bit lattice, with weighted sums. When a new cell would
// pass the capacity, every cell is merged into its parent one bit coarser per component, so a
// set never holds more cells than its capacity; cells keep the order in which they appeared.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/carver.h"
#include "image/plane.h"

namespace img::multipalette {

class CellTable {
 public:
  // Takes room for sets of up to max_capacity cells.
  void carve(Carver& c, std::int32_t max_capacity);

  // Starts an empty set of at most `capacity` (1 to max_capacity) cells.
  void start(std::int32_t capacity);

  // Adds a colour (components 0 to 255) of weight w.
  void add(std::int32_t r, std::int32_t g, std::int32_t b, std::uint64_t w) {
    add_sums(make_pixel(r, g, b), static_cast<std::uint64_t>(r) * w,
             static_cast<std::uint64_t>(g) * w, static_cast<std::uint64_t>(b) * w, w);
  }

  // Adds colours that all lie in the cell of `colour`, given by their sums and total weight.
  void add_sums(Pixel colour, std::uint64_t r, std::uint64_t g, std::uint64_t b, std::uint64_t w) {
    for (;;) {
      const std::int32_t i = find(cell_of(red_of(colour), green_of(colour), blue_of(colour)));
      if (i >= 0) {
        sum_r_[i] += r;
        sum_g_[i] += g;
        sum_b_[i] += b;
        weight_[i] += w;
        return;
      }
      coarsen();
    }
  }

  // The cell of a colour at the current level.
  std::uint32_t cell_of(std::int32_t r, std::int32_t g, std::int32_t b) const {
    const int s = 8 - level_;
    return (static_cast<std::uint32_t>(r >> s) << (2 * level_)) |
           (static_cast<std::uint32_t>(g >> s) << level_) | static_cast<std::uint32_t>(b >> s);
  }

  std::int32_t count() const { return count_; }
  std::uint64_t weight(std::int32_t i) const { return weight_[i]; }
  std::uint64_t sum(std::int32_t i, int component) const {
    return component == 0 ? sum_r_[i] : (component == 1 ? sum_g_[i] : sum_b_[i]);
  }
  // A component of cell i's mean colour, rounded.
  std::int32_t mean(std::int32_t i, int component) const {
    return static_cast<std::int32_t>((sum(i, component) + weight_[i] / 2) / weight_[i]);
  }

 private:
  // The index of the cell, added if there is room; -1 when the set is full.
  std::int32_t find(std::uint32_t cell);
  void coarsen();
  void new_stamp();

  std::int32_t capacity_ = 0, count_ = 0;
  int level_ = 6;  // bits per component of the current cells
  int slot_bits_ = 0;
  std::uint32_t stamp_ = 0;
  std::uint32_t* slot_stamp_ = nullptr;  // a slot is in use when it holds the current stamp
  std::uint32_t* slot_cell_ = nullptr;
  std::int32_t* slot_index_ = nullptr;
  std::uint32_t* cell_ = nullptr;
  std::uint64_t* sum_r_ = nullptr;
  std::uint64_t* sum_g_ = nullptr;
  std::uint64_t* sum_b_ = nullptr;
  std::uint64_t* weight_ = nullptr;
};

}  // namespace img::multipalette
