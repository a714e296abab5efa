// Merging rare colours into close frequent ones until the list is short enough.
//
// The rule: with a threshold starting at 2, walk the list from its last entry up to its
// second; merge entry i into the first earlier entry j closer than the threshold (j's count
// grows and j moves forward past smaller counts, i leaves the list) and stop as soon as the
// list is short enough; after a full walk raise the threshold by one and walk again.
//
// Done literally this is quadratic. Three facts make it fast without changing a result:
// - The list is always ordered by count descending and, among equal counts, by when an entry
//   last grew (initially by key). So an entry's position is given by (count, sequence
//   number), with a fresh sequence number each time its count grows.
// - After a full walk with threshold t no two entries are closer than t: the walk with
//   threshold t + 1 can only merge entries at squared distance exactly t. The candidates are
//   the keys at the offsets of that squared length, looked up directly.
// - The walk visits, after each entry, the last entry before it. Entries only ever move
//   forward among the not yet visited ones, so the walk merges the list as it stood at the
//   start of the walk (from the back) with a heap of the entries moved since.
#include <algorithm>

#include "image/palette.h"
#include "image/palette_layout.h"

namespace img {

namespace {
constexpr std::uint32_t kNoKey = 0xFFFFFFFFu;
}  // namespace

void PaletteList::merge_entries(std::int32_t pal_size) {
  if (count_ <= pal_size) return;
  for (std::int32_t i = 0; i < count_; ++i) {
    seq_[keys_[i]] = static_cast<std::uint32_t>(i);
    seq_key_[i] = keys_[i];
  }
  next_seq_ = static_cast<std::uint32_t>(count_);
  for (std::uint32_t distance = 1; distance <= palette::kMaxNorm; ++distance) {
    if (merge_pass(distance, pal_size)) return;
  }
}

// One walk of the list with threshold distance + 1. Returns true when the list has become
// short enough (the list is then rebuilt and the reduction is over).
bool PaletteList::merge_pass(std::uint32_t distance, std::int32_t pal_size) {
  const std::uint32_t offsets_begin = norm_first_[distance];
  const std::uint32_t offsets_end = norm_first_[distance + 1];
  if (offsets_begin == offsets_end) return false;  // no two keys lie at this distance

  const std::uint32_t pass_first_seq = next_seq_;
  auto rank_of = [this](std::uint32_t key) { return palette::rank(histogram_[key], seq_[key]); };
  auto unmoved = [&](std::uint32_t key) {
    return histogram_[key] != 0 && seq_[key] < pass_first_seq;
  };
  auto current = [this](std::uint64_t r) {
    const std::uint32_t key = seq_key_[palette::rank_seq(r)];
    return histogram_[key] != 0 && seq_[key] == palette::rank_seq(r);
  };

  std::int32_t next = count_ - 1;  // the walk through the list as it was, from the back
  std::int32_t heap_size = 0;
  std::int32_t moved = 0;
  std::int32_t pending = count_;  // entries not yet visited: all lie before the current one
  std::int32_t live = count_;
  while (pending > 1) {  // the last one left is the list's first entry, never visited
    while (next >= 0 && !unmoved(keys_[next])) --next;
    while (heap_size > 0 && !current(heap_[0])) std::pop_heap(heap_, heap_ + heap_size--);
    std::uint32_t x;
    if (next >= 0 && (heap_size == 0 || rank_of(keys_[next]) > heap_[0])) {
      x = keys_[next--];
    } else {
      x = seq_key_[palette::rank_seq(heap_[0])];
      std::pop_heap(heap_, heap_ + heap_size--);
    }
    --pending;

    // The first entry before x (the smallest rank below x's) at exactly `distance`.
    const std::int32_t xb = static_cast<std::int32_t>(x >> 12);
    const std::int32_t xg = static_cast<std::int32_t>((x >> 6) & 63);
    const std::int32_t xr = static_cast<std::int32_t>(x & 63);
    std::uint64_t best_rank = rank_of(x);
    std::uint32_t best = kNoKey;
    for (std::uint32_t o = offsets_begin; o < offsets_end; ++o) {
      const std::uint32_t offset = norm_offsets_[o];
      const std::int32_t ob = static_cast<std::int32_t>(offset >> 12);
      const std::int32_t og = static_cast<std::int32_t>((offset >> 6) & 63);
      const std::int32_t orr = static_cast<std::int32_t>(offset & 63);
      for (std::int32_t b = xb - ob; b <= xb + ob; b += (ob == 0 ? 1 : 2 * ob)) {
        if (b < 0 || b > 63) continue;
        for (std::int32_t g = xg - og; g <= xg + og; g += (og == 0 ? 1 : 2 * og)) {
          if (g < 0 || g > 63) continue;
          for (std::int32_t r = xr - orr; r <= xr + orr; r += (orr == 0 ? 1 : 2 * orr)) {
            if (r < 0 || r > 63) continue;
            const std::uint32_t key = static_cast<std::uint32_t>((b << 12) | (g << 6) | r);
            if (histogram_[key] == 0) continue;
            const std::uint64_t rk = rank_of(key);
            if (rk < best_rank) {
              best_rank = rk;
              best = key;
            }
          }
        }
      }
    }
    if (best == kNoKey) continue;

    histogram_[best] += histogram_[x];
    histogram_[x] = 0;
    if (seq_[best] < pass_first_seq) moved_[moved++] = best;
    seq_[best] = next_seq_;
    seq_key_[next_seq_++] = best;
    heap_[heap_size++] = rank_of(best);
    std::push_heap(heap_, heap_ + heap_size);
    if (--live <= pal_size) {
      rebuild_list(pass_first_seq, moved);
      return true;
    }
  }
  if (moved > 0) rebuild_list(pass_first_seq, moved);
  return false;
}

// The list in position order again: the entries that kept their place, in the order they
// had, merged with the entries that moved, sorted by their new rank.
void PaletteList::rebuild_list(std::uint32_t pass_first_seq, std::int32_t moved) {
  std::int32_t m = 0;
  for (std::int32_t i = 0; i < moved; ++i) {
    const std::uint32_t key = moved_[i];
    if (histogram_[key] != 0) ranks_[m++] = palette::rank(histogram_[key], seq_[key]);
  }
  std::sort(ranks_, ranks_ + m);
  std::int32_t n = 0;
  std::int32_t j = 0;
  for (std::int32_t i = 0; i < count_; ++i) {
    const std::uint32_t key = keys_[i];
    if (histogram_[key] == 0 || seq_[key] >= pass_first_seq) continue;
    const std::uint64_t rk = palette::rank(histogram_[key], seq_[key]);
    while (j < m && ranks_[j] < rk) order_[n++] = seq_key_[palette::rank_seq(ranks_[j++])];
    order_[n++] = key;
  }
  while (j < m) order_[n++] = seq_key_[palette::rank_seq(ranks_[j++])];
  std::copy(order_, order_ + n, keys_);
  count_ = n;
}

}  // namespace img
