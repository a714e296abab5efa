// Mapping every pixel to its nearest palette colour (ties to the earlier entry).
//
// The palette colours lie on the lattice of key colours. A descent through the octree of
// keys narrows, for every region, the entries that can be nearest to some colour inside it:
// with U the smallest largest-distance of any entry to the region, only entries whose
// smallest distance to the region is at most U qualify (the nearest one, and every entry
// tied with it, is within U). A region left with one entry maps to it whole; a single key
// keeps its short list, searched in palette order for each pixel.
#include <algorithm>

#include "image/palette.h"
#include "image/palette_layout.h"

namespace img {

namespace {

struct Range {
  std::int32_t lo, hi;  // component values the region covers
};

inline std::int32_t squared(std::int32_t v) {
  return v * v;
}

inline std::int32_t nearest_in(std::int32_t p, Range r) {
  return p < r.lo ? squared(r.lo - p) : (p > r.hi ? squared(p - r.hi) : 0);
}

inline std::int32_t farthest_in(std::int32_t p, Range r) {
  const std::int32_t a = squared(p - r.lo), b = squared(p - r.hi);
  return a > b ? a : b;
}

inline std::int32_t distance(Pixel a, Pixel b) {
  return squared(blue_of(a) - blue_of(b)) + squared(green_of(a) - green_of(b)) +
         squared(red_of(a) - red_of(b));
}

}  // namespace

void PaletteList::prepare_mapping() {
  std::uint32_t* all = candidates_;
  for (std::int32_t j = 0; j < count_; ++j) {
    entry_colour_[j] = key_colour(keys_[j]);
    all[j] = static_cast<std::uint32_t>(j);
  }
  pool_used_ = 0;
  if (count_ > 0) descend(0, 0, 0, 0, 64, count_);
}

void PaletteList::descend(int depth, std::int32_t b0, std::int32_t g0, std::int32_t r0,
                          std::int32_t width, std::int32_t candidates) {
  const std::uint32_t* in = candidates_ + static_cast<std::size_t>(depth) * kKeys;
  std::uint32_t* out = candidates_ + static_cast<std::size_t>(depth + 1) * kKeys;
  const Range rb{4 * b0, 4 * (b0 + width) - 1};
  const Range rg{4 * g0, 4 * (g0 + width) - 1};
  const Range rr{4 * r0, 4 * (r0 + width) - 1};

  std::int32_t bound = 0x7FFFFFFF;
  for (std::int32_t i = 0; i < candidates; ++i) {
    const Pixel c = entry_colour_[in[i]];
    const std::int32_t far =
        farthest_in(blue_of(c), rb) + farthest_in(green_of(c), rg) + farthest_in(red_of(c), rr);
    if (far < bound) bound = far;
  }
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < candidates; ++i) {
    const Pixel c = entry_colour_[in[i]];
    const std::int32_t near =
        nearest_in(blue_of(c), rb) + nearest_in(green_of(c), rg) + nearest_in(red_of(c), rr);
    if (near <= bound) out[kept++] = in[i];
  }

  if (kept == 1) {
    for (std::int32_t b = b0; b < b0 + width; ++b) {
      for (std::int32_t g = g0; g < g0 + width; ++g) {
        for (std::int32_t r = r0; r < r0 + width; ++r) {
          const std::uint32_t key = static_cast<std::uint32_t>((b << 12) | (g << 6) | r);
          key_first_[key] = out[0];
          key_candidates_[key] = 1;
        }
      }
    }
    return;
  }
  if (width == 1) {
    const std::uint32_t key = static_cast<std::uint32_t>((b0 << 12) | (g0 << 6) | r0);
    if (static_cast<std::size_t>(pool_used_) + static_cast<std::size_t>(kept) > pool_size_) {
      key_candidates_[key] = 0;
      return;
    }
    std::copy(out, out + kept, pool_ + pool_used_);
    key_first_[key] = static_cast<std::uint32_t>(pool_used_);
    key_candidates_[key] = static_cast<std::uint32_t>(kept);
    pool_used_ += kept;
    return;
  }
  const std::int32_t half = width / 2;
  for (int child = 0; child < 8; ++child) {
    const std::int32_t cb = b0 + ((child >> 2) & 1) * half;
    const std::int32_t cg = g0 + ((child >> 1) & 1) * half;
    const std::int32_t cr = r0 + (child & 1) * half;
    if (occupied_[palette::node_index(depth + 1, cb / half, cg / half, cr / half)] == 0) continue;
    descend(depth + 1, cb, cg, cr, half, kept);
  }
}

Pixel PaletteList::nearest_by_search(Pixel q, const std::uint32_t* entries, std::uint32_t n) const {
  std::int32_t best = 200000;
  Pixel chosen = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    const Pixel c = entry_colour_[entries[i]];
    const std::int32_t d = distance(q, c);
    if (d < best) {
      best = d;
      chosen = c;
      if (d == 0) break;
    }
  }
  return chosen;
}

void PaletteList::map_pixels(Plane p, std::int32_t w, std::int32_t h) const {
  Pixel last_in = 0, last_out = 0;
  bool have_last = false;
  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    for (std::int32_t x = 0; x < w; ++x) {
      const Pixel q = row[x];
      if (!have_last || q != last_in) {
        const std::uint32_t key = colour_key(q);
        const std::uint32_t n = key_candidates_[key];
        Pixel c;
        if (n == 1) {
          c = entry_colour_[key_first_[key]];
        } else if (n > 1) {
          c = nearest_by_search(q, pool_ + key_first_[key], n);
        } else {
          c = nearest_by_search(q, candidates_, static_cast<std::uint32_t>(count_));
        }
        last_in = q;
        last_out = (q & 0xFF000000u) | c;
        have_last = true;
      }
      row[x] = last_out;
    }
  }
}

}  // namespace img
