#include "image/multipalette_cells.h"

#include <cstring>

namespace img::multipalette {

void CellTable::carve(Carver& c, std::int32_t max_capacity) {
  slot_bits_ = 1;
  while ((std::int64_t{1} << slot_bits_) < 2 * std::int64_t{max_capacity}) ++slot_bits_;
  const std::size_t slots = std::size_t{1} << slot_bits_;
  const auto cells = static_cast<std::size_t>(max_capacity);
  slot_stamp_ = c.take<std::uint32_t>(slots);
  slot_cell_ = c.take<std::uint32_t>(slots);
  slot_index_ = c.take<std::int32_t>(slots);
  cell_ = c.take<std::uint32_t>(cells);
  sum_r_ = c.take<std::uint64_t>(cells);
  sum_g_ = c.take<std::uint64_t>(cells);
  sum_b_ = c.take<std::uint64_t>(cells);
  weight_ = c.take<std::uint64_t>(cells);
}

void CellTable::new_stamp() {
  if (++stamp_ == 0) {  // after 2^32 sets every old stamp could come back: forget them all
    std::memset(slot_stamp_, 0, sizeof(std::uint32_t) << slot_bits_);
    stamp_ = 1;
  }
}

void CellTable::start(std::int32_t capacity) {
  capacity_ = capacity;
  count_ = 0;
  level_ = 6;
  new_stamp();
}

std::int32_t CellTable::find(std::uint32_t cell) {
  const std::uint32_t mask = (std::uint32_t{1} << slot_bits_) - 1;
  for (std::uint32_t s = (cell * 0x9E3779B1u) >> (32 - slot_bits_);; s = (s + 1) & mask) {
    if (slot_stamp_[s] != stamp_) {
      if (count_ == capacity_) return -1;
      slot_stamp_[s] = stamp_;
      slot_cell_[s] = cell;
      slot_index_[s] = count_;
      cell_[count_] = cell;
      sum_r_[count_] = sum_g_[count_] = sum_b_[count_] = weight_[count_] = 0;
      return count_++;
    }
    if (slot_cell_[s] == cell) return slot_index_[s];
  }
}

void CellTable::coarsen() {
  const int from = level_--;
  const std::uint32_t mask = (std::uint32_t{1} << from) - 1;
  const std::int32_t n = count_;
  count_ = 0;
  new_stamp();
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint32_t c = cell_[i];
    const std::uint32_t parent = (((c >> (2 * from)) >> 1) << (2 * level_)) |
                                 ((((c >> from) & mask) >> 1) << level_) | ((c & mask) >> 1);
    const std::uint64_t r = sum_r_[i], g = sum_g_[i], b = sum_b_[i], w = weight_[i];
    const std::int32_t j = find(parent);  // j <= i: the cells before i have all been placed
    sum_r_[j] += r;
    sum_g_[j] += g;
    sum_b_[j] += b;
    weight_[j] += w;
  }
}

}  // namespace img::multipalette
