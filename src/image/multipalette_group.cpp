// Building palettes for groups of zones, and splitting a group in two.
#include <algorithm>

#include "image/multipalette_work.h"

namespace img {

namespace {

using multipalette::Box;
using multipalette::Colours;
using multipalette::PartScratch;
using multipalette::Sums;

std::int32_t rounded_mean(std::uint64_t sum, std::uint64_t weight) {
  return static_cast<std::int32_t>((sum + weight / 2) / weight);
}

const std::int32_t* component(const PartScratch& s, int axis) {
  return axis == 0 ? s.cell_r : (axis == 1 ? s.cell_g : s.cell_b);
}

// Measures the cells order[first ... end - 1]: their weighted squared deviation and the
// component along which they spread most, split at its weighted mean.
Box measure(const PartScratch& s, std::int32_t first, std::int32_t end) {
  Box box{first, end, 0, 0, 0};
  unsigned __int128 widest = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const std::int32_t* v = component(s, axis);
    std::uint64_t w = 0, sum = 0;
    unsigned __int128 squares = 0;
    for (std::int32_t i = first; i < end; ++i) {
      const std::int32_t c = s.order[i];
      const std::uint64_t cw = s.pool.weight(c), cv = static_cast<std::uint64_t>(v[c]);
      w += cw;
      sum += cw * cv;
      squares += static_cast<unsigned __int128>(cw * cv) * cv;
    }
    const unsigned __int128 spread = squares - static_cast<unsigned __int128>(sum) * sum / w;
    box.spread += spread;
    if (axis == 0 || spread > widest) {
      widest = spread;
      box.axis = axis;
      box.split = static_cast<std::int32_t>(sum / w);
    }
  }
  if (end - first < 2) box.spread = 0;
  return box;
}

// Splits the box with the largest spread until there are k boxes or none can be split; the
// palette is the boxes' weighted means.
void median_cut(PartScratch& s, std::int32_t cells, std::int32_t k, Colours& out) {
  for (std::int32_t i = 0; i < cells; ++i) s.order[i] = i;
  std::int32_t boxes = 1;
  s.boxes[0] = measure(s, 0, cells);
  while (boxes < k) {
    std::int32_t pick = -1;
    for (std::int32_t b = 0; b < boxes; ++b) {
      if (s.boxes[b].spread > 0 && (pick < 0 || s.boxes[b].spread > s.boxes[pick].spread)) pick = b;
    }
    if (pick < 0) break;
    const Box box = s.boxes[pick];
    const std::int32_t* v = component(s, box.axis);
    std::int32_t lo = box.first, hi = box.end - 1;
    while (lo <= hi) {
      if (v[s.order[lo]] <= box.split) {
        ++lo;
      } else {
        std::swap(s.order[lo], s.order[hi--]);
      }
    }
    if (lo == box.first || lo == box.end) {  // cannot happen with a spread above 0
      s.boxes[pick].spread = 0;
      continue;
    }
    s.boxes[pick] = measure(s, box.first, lo);
    s.boxes[boxes++] = measure(s, lo, box.end);
  }
  out.count = boxes;
  for (std::int32_t b = 0; b < boxes; ++b) {
    Sums t{0, 0, 0, 0};
    for (std::int32_t i = s.boxes[b].first; i < s.boxes[b].end; ++i) {
      const std::int32_t c = s.order[i];
      t.r += s.pool.sum(c, 0);
      t.g += s.pool.sum(c, 1);
      t.b += s.pool.sum(c, 2);
      t.w += s.pool.weight(c);
    }
    out.set(b, rounded_mean(t.r, t.w), rounded_mean(t.g, t.w), rounded_mean(t.b, t.w));
  }
}

// k-means over the pooled cells, starting from the palette's colours. A colour that no cell
// chooses moves to the cell that costs most where it is; with none left that costs anything
// it is dropped.
void refine_colours(const multipalette::Kernels& kernels, PartScratch& s, std::int32_t cells,
                    Colours& c) {
  for (int round = 0; round < multipalette::kLloydRounds; ++round) {
    kernels.nearest_cells(s.cell_r, s.cell_g, s.cell_b, cells, c, s.nearest);
    std::fill(s.sums, s.sums + c.count, Sums{0, 0, 0, 0});
    for (std::int32_t i = 0; i < cells; ++i) {
      Sums& t = s.sums[s.nearest[i] & 0xFF];
      t.r += s.pool.sum(i, 0);
      t.g += s.pool.sum(i, 1);
      t.b += s.pool.sum(i, 2);
      t.w += s.pool.weight(i);
    }
    bool moved = false;
    std::int32_t kept = 0;
    for (std::int32_t j = 0; j < c.count; ++j) {
      std::int32_t r, g, b;
      const Sums& t = s.sums[j];
      if (t.w > 0) {
        r = rounded_mean(t.r, t.w);
        g = rounded_mean(t.g, t.w);
        b = rounded_mean(t.b, t.w);
      } else {
        std::int32_t worst = -1;
        std::uint64_t worst_cost = 0;
        for (std::int32_t i = 0; i < cells; ++i) {
          const std::uint64_t cost =
              (static_cast<std::uint64_t>(s.nearest[i]) >> 8) * s.pool.weight(i);
          if (cost > worst_cost) {
            worst_cost = cost;
            worst = i;
          }
        }
        moved = true;
        if (worst < 0) continue;
        s.nearest[worst] &= 0xFF;  // its cost is now 0: the next empty colour goes elsewhere
        r = s.cell_r[worst];
        g = s.cell_g[worst];
        b = s.cell_b[worst];
      }
      moved = moved || r != c.r[j] || g != c.g[j] || b != c.b[j];
      c.set(kept++, r, g, b);
    }
    c.count = kept;
    if (!moved) return;
  }
}

}  // namespace

void Multipalette::Work::list_members() {
  std::fill(member_first, member_first + palette_count + 1, 0u);
  for_sampled_zones([this](std::int32_t z) { ++member_first[zone_palette[z] + 1]; });
  for (std::int32_t p = 0; p < palette_count; ++p) member_first[p + 1] += member_first[p];
  for_sampled_zones([this](std::int32_t z) {
    members[member_first[zone_palette[z]]++] = static_cast<std::uint32_t>(z);
  });
  for (std::int32_t p = palette_count; p > 0; --p) member_first[p] = member_first[p - 1];
  member_first[0] = 0;
}

void Multipalette::Work::build_palette(int part, std::int32_t p, const std::uint32_t* list,
                                       std::int32_t count, bool fresh) {
  PartScratch& s = parts[part];
  Colours& c = palettes[p];
  s.pool.start(multipalette::kPoolCells);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint32_t z = list[i];
    for (std::uint32_t q = zone_first[z]; q < zone_first[z + 1]; ++q) {
      const Pixel colour = point_colour[q];
      s.pool.add(red_of(colour), green_of(colour), blue_of(colour), point_weight[q]);
    }
  }
  const std::int32_t cells = s.pool.count();
  if (cells == 0) {
    c.count = 0;
    return;
  }
  for (std::int32_t i = 0; i < cells; ++i) {
    s.cell_r[i] = s.pool.mean(i, 0);
    s.cell_g[i] = s.pool.mean(i, 1);
    s.cell_b[i] = s.pool.mean(i, 2);
  }
  if (fresh || c.count == 0) median_cut(s, cells, layout.colours, c);
  refine_colours(*kernels, s, cells, c);
}

bool Multipalette::Work::split_palette(std::int32_t g, std::int32_t fresh) {
  list_members();
  std::uint32_t* list = members + member_first[g];
  const auto count = static_cast<std::int32_t>(member_first[g + 1] - member_first[g]);
  if (count < 2) return false;

  // Each zone's mean colour; the zones go to the two sides of the weighted mean of the
  // component along which those means spread most.
  auto zone_mean = [this](std::uint32_t z, std::uint64_t* m) {
    std::uint64_t s[3] = {0, 0, 0}, w = 0;
    for (std::uint32_t q = zone_first[z]; q < zone_first[z + 1]; ++q) {
      const Pixel c = point_colour[q];
      const std::uint64_t qw = point_weight[q];
      s[0] += static_cast<std::uint64_t>(red_of(c)) * qw;
      s[1] += static_cast<std::uint64_t>(green_of(c)) * qw;
      s[2] += static_cast<std::uint64_t>(blue_of(c)) * qw;
      w += qw;
    }
    for (int a = 0; a < 3; ++a) m[a] = (s[a] + w / 2) / w;
    return w;
  };
  std::uint64_t total = 0, sum[3] = {0, 0, 0};
  unsigned __int128 squares[3] = {0, 0, 0};
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint64_t m[3];
    const std::uint64_t w = zone_mean(list[i], m);
    total += w;
    for (int a = 0; a < 3; ++a) {
      sum[a] += m[a] * w;
      squares[a] += static_cast<unsigned __int128>(m[a] * m[a]) * w;
    }
  }
  int axis = 0;
  unsigned __int128 widest = 0;
  for (int a = 0; a < 3; ++a) {
    const unsigned __int128 spread =
        squares[a] - static_cast<unsigned __int128>(sum[a]) * sum[a] / total;
    if (a == 0 || spread > widest) {
      widest = spread;
      axis = a;
    }
  }
  const std::uint64_t threshold = sum[axis] / total;
  // The list is reordered in place: palette g's zones first, then those of `fresh`.
  auto partition = [list, count](auto stays) {
    std::int32_t low = 0;
    for (std::int32_t high = count - 1; low <= high;) {
      if (stays(list[low])) {
        ++low;
      } else {
        std::swap(list[low], list[high--]);
      }
    }
    return low;
  };
  std::int32_t low = partition([&](std::uint32_t z) {
    std::uint64_t m[3];
    zone_mean(z, m);
    return m[axis] <= threshold;
  });
  if (low == 0 || low == count) return false;
  for (std::int32_t i = low; i < count; ++i)
    zone_palette[list[i]] = static_cast<std::uint8_t>(fresh);
  if (fresh >= palette_count) palette_count = fresh + 1;

  // Build both palettes, then let each zone take the better one, and again.
  for (int round = 0;; ++round) {
    const bool first = round == 0;
    auto build = [&](int part) {
      if (part == 0) build_palette(0, g, list, low, first);
      if (part == 1) build_palette(1, fresh, list + low, count - low, first);
    };
    runner.run(build);
    auto assign = [&](int part) {
      const std::int32_t from = part == 0 ? 0 : count / 2, to = part == 0 ? count / 2 : count;
      for (std::int32_t i = from; i < to; ++i) {
        const std::uint32_t z = list[i];
        const std::uint64_t eg = zone_error_under(static_cast<std::int32_t>(z), g);
        const std::uint64_t ef = zone_error_under(static_cast<std::int32_t>(z), fresh, eg);
        const bool take_fresh = ef < eg || (ef == eg && fresh < g);
        zone_palette[z] = static_cast<std::uint8_t>(take_fresh ? fresh : g);
        zone_error[z] = take_fresh ? ef : eg;
      }
    };
    runner.run(assign);
    if (round == multipalette::kSplitRounds) return true;
    low = partition([&](std::uint32_t z) { return zone_palette[z] == g; });
    if (low == 0 || low == count) return true;
  }
}

}  // namespace img
