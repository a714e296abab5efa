// Palettes: the colours a picture uses, counted at 6 bits per component, listed most frequent
// first, rare colours merged into close frequent ones until at most `Pal size` remain, then
// every pixel replaced by its nearest palette colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/image_store.h"
#include "image/plane.h"

namespace img {

// A colour key: blue >> 2 in bits 12-17, green >> 2 in bits 6-11, red >> 2 in bits 0-5.
constexpr std::uint32_t colour_key(Pixel p) {
  return ((p & 0xFCu) << 10) | ((p >> 4) & 0xFC0u) | ((p >> 18) & 0x3Fu);
}
// The colour a key stands for: each 6-bit component times 4.
constexpr Pixel key_colour(std::uint32_t key) {
  return make_pixel(static_cast<int>(key & 63) * 4, static_cast<int>((key >> 6) & 63) * 4,
                    static_cast<int>((key >> 12) & 63) * 4);
}

// The palette list and everything the palette stage works with, allocated once at its final
// size: a run allocates nothing. The list keeps its entries until the next run; the 8-bit
// writer takes its colour table from the first 256 keys.
class PaletteList {
 public:
  static constexpr std::int32_t kKeys = 1 << 18;
  // Room for the candidate lists of keys that several palette entries could serve; a key
  // that finds it full is mapped by a search of the whole palette (same result, slower).
  static constexpr std::size_t kCandidatePool = std::size_t{1} << 23;

  explicit PaletteList(std::size_t candidate_pool = kCandidatePool);
  PaletteList(const PaletteList&) = delete;
  PaletteList& operator=(const PaletteList&) = delete;

  // False when the memory could not be had; the stage then leaves pictures as they are.
  bool ok() const { return ok_; }

  // All kKeys slots: entry k is the k-th key of the list. After a run the first count()
  // entries are the palette, most frequent first; the slots after them hold key 0.
  std::span<const std::uint32_t> keys() const;
  // The pixel count of each entry, in the same order.
  std::span<const std::uint32_t> counts() const;
  std::int32_t count() const { return count_; }

  // The palette stage on the top-left w x h pixels of `p`; returns the palette count.
  std::int32_t build_and_map(Plane p, std::int32_t w, std::int32_t h, std::int32_t pal_size);

 private:
  void count_colours(ConstPlane p, std::int32_t w, std::int32_t h);
  void sort_entries();
  void merge_entries(std::int32_t pal_size);
  bool merge_pass(std::uint32_t distance, std::int32_t pal_size);
  void rebuild_list(std::uint32_t pass_first_seq, std::int32_t moved);
  void build_occupancy();
  void prepare_mapping();
  void descend(int depth, std::int32_t b0, std::int32_t g0, std::int32_t r0, std::int32_t width,
               std::int32_t candidates);
  void map_pixels(Plane p, std::int32_t w, std::int32_t h) const;
  Pixel nearest_by_search(Pixel q, const std::uint32_t* entries, std::uint32_t n) const;

  bool ok_ = false;
  std::int32_t count_ = 0;
  std::int32_t pool_used_ = 0;
  std::size_t pool_size_ = 0;
  std::uint32_t next_seq_ = 0;

  BigBuffer memory_;
  // The list.
  std::uint32_t* keys_ = nullptr;
  std::uint32_t* counts_ = nullptr;
  // Per key: pixels counted, then the merged count while merging (0: absent or merged away).
  std::uint32_t* histogram_ = nullptr;
  // Merging: list order is count descending, then a sequence number that is renewed each time
  // an entry's count grows.
  std::uint32_t* seq_ = nullptr;         // per key
  std::uint32_t* seq_key_ = nullptr;     // per sequence number: its key (2 * kKeys)
  std::uint64_t* heap_ = nullptr;        // entries moved during a pass, by position
  std::uint32_t* moved_ = nullptr;       // keys moved during a pass
  std::uint64_t* ranks_ = nullptr;       // sorting scratch
  std::uint32_t* order_ = nullptr;       // rebuilt list
  std::uint32_t* norm_first_ = nullptr;  // offsets (0..63)^3 grouped by squared length
  std::uint32_t* norm_offsets_ = nullptr;
  // Mapping.
  std::uint8_t* occupied_ = nullptr;         // per node of the key octree: some pixel lies there
  std::uint32_t* key_first_ = nullptr;       // per key: the only candidate, or the first in pool
  std::uint32_t* key_candidates_ = nullptr;  // per key: number of candidates, 0 = search all
  std::uint32_t* candidates_ = nullptr;      // one list of entry indexes per octree depth
  std::uint32_t* pool_ = nullptr;
  std::uint32_t* entry_colour_ = nullptr;  // per entry: its pixel word
};

// The palette stage; `pal_size` below 1 is taken as 1. Returns the palette count.
std::int32_t build_and_map_palette(Plane p, std::int32_t w, std::int32_t h, std::int32_t pal_size,
                                   PaletteList& list);

}  // namespace img
