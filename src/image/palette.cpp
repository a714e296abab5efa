#include "image/palette.h"

#include <algorithm>
#include <cstring>

#include "image/carver.h"
#include "image/palette_layout.h"

namespace img {

PaletteList::PaletteList(std::size_t candidate_pool) : pool_size_(candidate_pool) {
  constexpr std::size_t k = kKeys;
  auto carve = [this](Carver& c) {
    keys_ = c.take<std::uint32_t>(k);
    counts_ = c.take<std::uint32_t>(k);
    histogram_ = c.take<std::uint32_t>(k);
    seq_ = c.take<std::uint32_t>(k);
    seq_key_ = c.take<std::uint32_t>(2 * k);
    heap_ = c.take<std::uint64_t>(k);
    moved_ = c.take<std::uint32_t>(k);
    ranks_ = c.take<std::uint64_t>(k);
    order_ = c.take<std::uint32_t>(k);
    norm_first_ = c.take<std::uint32_t>(palette::kMaxNorm + 2);
    norm_offsets_ = c.take<std::uint32_t>(k);
    occupied_ = c.take<std::uint8_t>(palette::kOccupancyNodes);
    key_first_ = c.take<std::uint32_t>(k);
    key_candidates_ = c.take<std::uint32_t>(k);
    candidates_ = c.take<std::uint32_t>(k * palette::kCandidateLevels);
    pool_ = c.take<std::uint32_t>(pool_size_);
    entry_colour_ = c.take<std::uint32_t>(k);
  };
  Carver measure(nullptr);
  carve(measure);
  if (!memory_.allocate(measure.used())) {
    Carver none(nullptr);
    carve(none);
    return;
  }
  Carver real(memory_.data());
  carve(real);

  // Every offset (0..63)^3, packed like a key, grouped by squared length.
  std::uint32_t* first = norm_first_;
  for (std::uint32_t key = 0; key < k; ++key) ++first[palette::squared_length(key) + 1];
  for (std::uint32_t n = 1; n <= palette::kMaxNorm + 1; ++n) first[n] += first[n - 1];
  for (std::uint32_t key = 0; key < k; ++key) {
    norm_offsets_[first[palette::squared_length(key)]++] = key;
  }
  for (std::uint32_t n = palette::kMaxNorm + 1; n > 0; --n) first[n] = first[n - 1];
  first[0] = 0;
  ok_ = true;
}

std::span<const std::uint32_t> PaletteList::keys() const {
  return {keys_, keys_ == nullptr ? 0u : static_cast<std::size_t>(kKeys)};
}

std::span<const std::uint32_t> PaletteList::counts() const {
  return {counts_, counts_ == nullptr ? 0u : static_cast<std::size_t>(kKeys)};
}

void PaletteList::count_colours(ConstPlane p, std::int32_t w, std::int32_t h) {
  std::memset(histogram_, 0, sizeof(std::uint32_t) * kKeys);
  for (std::int32_t y = 0; y < h; ++y) {
    const Pixel* row = p.row(y);
    for (std::int32_t x = 0; x < w; ++x) ++histogram_[colour_key(row[x])];
  }
}

// Count descending, equal counts by key ascending: the order an insertion sort that moves
// each new key forward past smaller counts only would give.
void PaletteList::sort_entries() {
  std::int32_t n = 0;
  for (std::uint32_t key = 0; key < static_cast<std::uint32_t>(kKeys); ++key) {
    if (histogram_[key] != 0) ranks_[n++] = palette::rank(histogram_[key], key);
  }
  std::sort(ranks_, ranks_ + n);
  for (std::int32_t i = 0; i < n; ++i) {
    keys_[i] = static_cast<std::uint32_t>(ranks_[i]);
    counts_[i] = histogram_[keys_[i]];
  }
  count_ = n;
}

// Marks every node of the key octree (depth 0 the whole cube, depth 6 single keys) that
// holds a colour of the picture, so that mapping skips empty regions.
void PaletteList::build_occupancy() {
  std::memset(occupied_, 0, palette::kOccupancyNodes);
  for (std::int32_t i = 0; i < count_; ++i) {
    const std::uint32_t key = keys_[i];
    const std::int32_t b = static_cast<std::int32_t>(key >> 12);
    const std::int32_t g = static_cast<std::int32_t>((key >> 6) & 63);
    const std::int32_t r = static_cast<std::int32_t>(key & 63);
    for (int depth = 0; depth <= 6; ++depth) {
      occupied_[palette::node_index(depth, b >> (6 - depth), g >> (6 - depth), r >> (6 - depth))] =
          1;
    }
  }
}

std::int32_t PaletteList::build_and_map(Plane p, std::int32_t w, std::int32_t h,
                                        std::int32_t pal_size) {
  if (!ok_) return 0;
  if (w < 1 || h < 1) w = h = 0;
  count_colours(p, w, h);
  sort_entries();
  build_occupancy();
  merge_entries(std::max(pal_size, 1));
  for (std::int32_t i = 0; i < count_; ++i) counts_[i] = histogram_[keys_[i]];
  const std::size_t tail = static_cast<std::size_t>(kKeys - count_);
  std::memset(keys_ + count_, 0, sizeof(std::uint32_t) * tail);
  std::memset(counts_ + count_, 0, sizeof(std::uint32_t) * tail);
  prepare_mapping();
  map_pixels(p, w, h);
  return count_;
}

std::int32_t build_and_map_palette(Plane p, std::int32_t w, std::int32_t h, std::int32_t pal_size,
                                   PaletteList& list) {
  return list.build_and_map(p, w, h, pal_size);
}

}  // namespace img
