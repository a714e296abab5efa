// The multipalette stage's passes over the zones: summaries, choosing palettes, and the
// finish on the exact pixels.
#include <algorithm>
#include <cstring>

#include "image/multipalette_work.h"

namespace img {

namespace {

using multipalette::Colours;
using multipalette::kNoError;
using multipalette::PartScratch;
using multipalette::Sums;

// The lowest (error, palette) pairs offered so far, lowest first; at most `keep` of them.
struct Ranking {
  std::uint64_t error[multipalette::kCandidates];
  std::int32_t palette[multipalette::kCandidates];
  std::int32_t held = 0, keep = 1;

  // An offer above this cannot be kept.
  std::uint64_t bound() const { return held == keep && held > 0 ? error[held - 1] : kNoError; }

  void offer(std::int32_t p, std::uint64_t e) {
    std::int32_t i = held;
    for (; i > 0 && (e < error[i - 1] || (e == error[i - 1] && p < palette[i - 1])); --i) {
      if (i < keep) {
        error[i] = error[i - 1];
        palette[i] = palette[i - 1];
      }
    }
    if (i >= keep) return;
    error[i] = e;
    palette[i] = p;
    if (held < keep) ++held;
  }
};

// Zones [from, to) of a job over n zones split in two.
void zone_range(std::int32_t n, int part, std::int32_t& from, std::int32_t& to) {
  from = part == 0 ? 0 : n / 2;
  to = part == 0 ? n / 2 : n;
}

}  // namespace

void Multipalette::Work::zone_rect(std::int32_t z, std::int32_t& x0, std::int32_t& y0,
                                   std::int32_t& x1, std::int32_t& y1) const {
  x0 = (z % layout.zones_across) * layout.zone_width;
  y0 = (z / layout.zones_across) * layout.zone_height;
  x1 = std::min(width, x0 + layout.zone_width);
  y1 = std::min(height, y0 + layout.zone_height);
}

// Each zone's pixels gathered into at most zone_points_cap cells, stored heaviest first.
// Part 1 writes after the room its zones could need at most, then moves its points down.
void Multipalette::Work::summarise() {
  const std::int32_t half = zones / 2;
  std::uint32_t part1_start = 0;
  for (std::int32_t z = 0; z < half; ++z) {
    std::int32_t x0, y0, x1, y1;
    zone_rect(z, x0, y0, x1, y1);
    part1_start += static_cast<std::uint32_t>(
        multipalette::zone_points_cap(std::int64_t{x1 - x0} * (y1 - y0)));
  }
  std::uint32_t ends[2] = {0, 0};
  auto job = [&](int part) {
    PartScratch& s = parts[part];
    std::int32_t from, to;
    zone_range(zones, part, from, to);
    std::uint32_t at = part == 0 ? 0 : part1_start;
    for (std::int32_t z = from; z < to; ++z) {
      std::int32_t x0, y0, x1, y1;
      zone_rect(z, x0, y0, x1, y1);
      s.zone_cells.start(multipalette::zone_points_cap(std::int64_t{x1 - x0} * (y1 - y0)));
      // Runs of pixels in one cell are summed here and added to the table at once.
      std::uint32_t run_cell = ~0u;
      Pixel run_colour = 0;
      std::uint64_t run_r = 0, run_g = 0, run_b = 0, run_n = 0;
      for (std::int32_t y = y0; y < y1; ++y) {
        const Pixel* row = plane.row(y);
        for (std::int32_t x = x0; x < x1; ++x) {
          const Pixel q = row[x];
          const std::uint32_t cell = s.zone_cells.cell_of(red_of(q), green_of(q), blue_of(q));
          if (cell != run_cell) {
            if (run_n > 0) s.zone_cells.add_sums(run_colour, run_r, run_g, run_b, run_n);
            run_cell = cell;
            run_colour = q;
            run_r = run_g = run_b = run_n = 0;
          }
          run_r += static_cast<std::uint64_t>(red_of(q));
          run_g += static_cast<std::uint64_t>(green_of(q));
          run_b += static_cast<std::uint64_t>(blue_of(q));
          ++run_n;
        }
      }
      s.zone_cells.add_sums(run_colour, run_r, run_g, run_b, run_n);
      const std::int32_t n = s.zone_cells.count();
      for (std::int32_t i = 0; i < n; ++i) s.zone_order[i] = static_cast<std::uint32_t>(i);
      std::sort(s.zone_order, s.zone_order + n, [&s](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t wa = s.zone_cells.weight(static_cast<std::int32_t>(a));
        const std::uint64_t wb = s.zone_cells.weight(static_cast<std::int32_t>(b));
        return wa != wb ? wa > wb : a < b;
      });
      zone_first[z] = at;
      for (std::int32_t i = 0; i < n; ++i, ++at) {
        const auto c = static_cast<std::int32_t>(s.zone_order[i]);
        point_colour[at] =
            make_pixel(s.zone_cells.mean(c, 0), s.zone_cells.mean(c, 1), s.zone_cells.mean(c, 2));
        point_weight[at] = static_cast<std::uint32_t>(s.zone_cells.weight(c));
      }
    }
    ends[part] = at;
  };
  runner.run(job);
  const std::uint32_t gap = part1_start - ends[0];
  const std::size_t moved = ends[1] - part1_start;
  std::memmove(point_colour + ends[0], point_colour + part1_start, moved * sizeof(Pixel));
  std::memmove(point_weight + ends[0], point_weight + part1_start, moved * sizeof(std::uint32_t));
  for (std::int32_t z = half; z < zones; ++z) zone_first[z] -= gap;
  zone_first[zones] = ends[1] - gap;
}

void Multipalette::Work::assign_all(bool all_palettes) {
  constexpr std::int32_t kKeep = multipalette::kCandidates;
  const std::int32_t keep = std::clamp(palette_count, 1, kKeep);
  all_colours->count = 0;
  for (std::int32_t p = 0; p < palette_count; ++p) {
    colour_first[p] = all_colours->count;
    const Colours& c = palettes[p];
    for (std::int32_t j = 0; j < c.count; ++j) {
      all_colours->set(all_colours->count++, c.r[j], c.g[j], c.b[j]);
    }
  }
  colour_first[palette_count] = all_colours->count;
  auto job = [this, all_palettes, keep](int part) {
    std::int32_t from, to;
    zone_range(zones, part, from, to);
    // A zone of fewer points than a vector holds is measured against every colour at once.
    std::int32_t distance[8][multipalette::kMaxColours];
    for (std::int32_t z = from; z < to; ++z) {
      const std::uint32_t first = zone_first[z], points = zone_first[z + 1] - first;
      const bool small = points < 8;
      for (std::uint32_t i = 0; small && i < points; ++i) {
        kernels->distances(point_colour[first + i], *all_colours, distance[i]);
      }
      auto small_zone_error = [&](std::int32_t p) {
        std::uint64_t e = 0;
        for (std::uint32_t i = 0; i < points; ++i) {
          const std::int32_t nearest =
              *std::min_element(distance[i] + colour_first[p], distance[i] + colour_first[p + 1]);
          e += static_cast<std::uint64_t>(nearest) * point_weight[first + i];
        }
        return e;
      };
      Ranking best;
      best.keep = keep;
      auto offer = [&](std::int32_t p) {
        if (palettes[p].count == 0) return;
        best.offer(p, small ? small_zone_error(p) : zone_error_under(z, p, best.bound()));
      };
      // The zone's own palette first: its error bounds the search well from the start.
      const std::int32_t own = zone_palette[z];
      std::uint8_t* candidates = zone_candidates + static_cast<std::size_t>(z) * kKeep;
      offer(own);
      for (std::int32_t i = 0; i < (all_palettes ? palette_count : keep); ++i) {
        const std::int32_t p = all_palettes ? i : candidates[i];
        if (p != own) offer(p);
      }
      const std::uint64_t* error = best.error;
      const std::int32_t* palette = best.palette;
      zone_palette[z] = static_cast<std::uint8_t>(palette[0]);
      zone_error[z] = error[0];
      zone_second[z] = static_cast<std::uint8_t>(palette[best.held > 1 ? 1 : 0]);
      zone_second_close[z] = best.held > 1 && error[1] - error[0] <= error[0] / 2;
      if (all_palettes) {
        for (std::int32_t i = 0; i < kKeep; ++i) {
          candidates[i] = static_cast<std::uint8_t>(palette[i < best.held ? i : 0]);
        }
      }
    }
  };
  runner.run(job);
}

std::uint64_t Multipalette::Work::map_zone(std::int32_t z, std::int32_t p, int part, bool write) {
  std::uint8_t* index = parts[part].index;
  const Colours& c = palettes[p];
  Pixel colour[multipalette::kMaxColours];
  if (write) {
    for (std::int32_t j = 0; j < c.count; ++j) colour[j] = make_pixel(c.r[j], c.g[j], c.b[j]);
  }
  std::int32_t x0, y0, x1, y1;
  zone_rect(z, x0, y0, x1, y1);
  std::uint64_t error = 0;
  for (std::int32_t y = y0; y < y1; ++y) {
    Pixel* row = plane.row(y);
    for (std::int32_t x = x0; x < x1; x += 64) {
      const std::int32_t n = std::min(64, x1 - x);
      error += kernels->nearest_pixels(row + x, n, c, index);
      if (!write) continue;
      for (std::int32_t i = 0; i < n; ++i) {
        row[x + i] = (row[x + i] & 0xFF000000u) | colour[index[i]];
      }
    }
  }
  return error;
}

void Multipalette::Work::improve_on_pixels() {
  const std::int32_t k = layout.colours;
  auto job = [this, k](int part) {
    PartScratch& s = parts[part];
    std::fill(s.exact, s.exact + palette_count * k, Sums{0, 0, 0, 0});
    std::int32_t from, to;
    zone_range(zones, part, from, to);
    for (std::int32_t z = from; z < to; ++z) {
      const std::int32_t p = zone_palette[z];
      Sums* sums = s.exact + p * k;
      std::int32_t x0, y0, x1, y1;
      zone_rect(z, x0, y0, x1, y1);
      for (std::int32_t y = y0; y < y1; ++y) {
        const Pixel* row = plane.row(y);
        for (std::int32_t x = x0; x < x1; x += 64) {
          const std::int32_t n = std::min(64, x1 - x);
          kernels->nearest_pixels(row + x, n, palettes[p], s.index);
          for (std::int32_t i = 0; i < n; ++i) {
            Sums& t = sums[s.index[i]];
            t.r += static_cast<std::uint64_t>(red_of(row[x + i]));
            t.g += static_cast<std::uint64_t>(green_of(row[x + i]));
            t.b += static_cast<std::uint64_t>(blue_of(row[x + i]));
            ++t.w;
          }
        }
      }
    }
  };
  runner.run(job);
  for (std::int32_t p = 0; p < palette_count; ++p) {
    Colours& c = palettes[p];
    for (std::int32_t j = 0; j < c.count; ++j) {
      const Sums& a = parts[0].exact[p * k + j];
      const Sums& b = parts[1].exact[p * k + j];
      const std::uint64_t w = a.w + b.w;
      if (w == 0) continue;
      c.set(j, static_cast<std::int32_t>((a.r + b.r + w / 2) / w),
            static_cast<std::int32_t>((a.g + b.g + w / 2) / w),
            static_cast<std::int32_t>((a.b + b.b + w / 2) / w));
    }
  }
}

void Multipalette::Work::map_pixels() {
  auto job = [this](int part) {
    std::int32_t from, to;
    zone_range(zones, part, from, to);
    for (std::int32_t z = from; z < to; ++z) {
      std::int32_t p = zone_palette[z];
      const std::int32_t q = zone_second[z];
      // The runner-up is tried when its summary error comes close to the palette's.
      if (q != p && palettes[q].count > 0 && zone_second_close[z] != 0) {
        const std::uint64_t ep = map_zone(z, p, part, false), eq = map_zone(z, q, part, false);
        if (eq < ep || (eq == ep && q < p)) p = q;
      }
      zone_palette[z] = static_cast<std::uint8_t>(p);
      map_zone(z, p, part, true);
    }
  };
  runner.run(job);
}

}  // namespace img
