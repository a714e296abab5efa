#include "image/multipalette.h"

#include <algorithm>
#include <cstring>

#include "image/multipalette_work.h"
#include "image/palette.h"

namespace img {

namespace {

using multipalette::Colours;
using multipalette::PartScratch;
using multipalette::Sums;

constexpr std::int32_t kTable = 256;

std::int32_t to_key_level(std::int32_t v) {
  return std::min((v + 2) & ~3, 252);
}

// Moves every colour to the nearest key colour, drops repeats and sorts the colours by key,
// which fixes the order that decides between equally near colours.
void snap_to_keys(Colours& c) {
  std::uint32_t keys[multipalette::kMaxColours];
  for (std::int32_t j = 0; j < c.count; ++j) {
    keys[j] =
        colour_key(make_pixel(to_key_level(c.r[j]), to_key_level(c.g[j]), to_key_level(c.b[j])));
  }
  std::sort(keys, keys + c.count);
  const std::int32_t n = static_cast<std::int32_t>(std::unique(keys, keys + c.count) - keys);
  for (std::int32_t j = 0; j < n; ++j) {
    const Pixel p = key_colour(keys[j]);
    c.set(j, red_of(p), green_of(p), blue_of(p));
  }
  c.count = n;
}

}  // namespace

ZoneLayout zone_layout(std::int32_t w, std::int32_t h, const ColourSettings& s) {
  ZoneLayout l;
  l.colours = std::clamp<std::int32_t>(s.pal_size, 1, kTable);
  l.palettes = std::clamp<std::int32_t>(s.palettes, 1, kTable / l.colours);
  l.zone_width = std::clamp<std::int32_t>(s.zone_width, 1, std::max(w, 1));
  l.zone_height = std::clamp<std::int32_t>(s.zone_height, 1, std::max(h, 1));
  if (w >= 1 && h >= 1) {
    l.zones_across = (w - 1) / l.zone_width + 1;
    l.zones_down = (h - 1) / l.zone_height + 1;
  }
  return l;
}

Multipalette::Multipalette() : work_(std::make_unique<Work>()) {}
Multipalette::~Multipalette() = default;

bool Multipalette::ok() const {
  return work_->memory.data() != nullptr;
}

void Multipalette::set_threads(int threads) {
  work_->runner.set_threads(threads);
}

bool Multipalette::reserve(std::int32_t max_width, std::int32_t max_height) {
  Work& w = *work_;
  if (max_width < 1 || max_height < 1 ||
      std::int64_t{max_width} * max_height > std::int64_t{1} << 31) {
    return false;
  }
  const auto pixels = static_cast<std::size_t>(max_width) * static_cast<std::size_t>(max_height);
  auto carve = [&](Carver& c) {
    w.point_colour = c.take<Pixel>(pixels + 8);
    w.point_weight = c.take<std::uint32_t>(pixels + 8);
    w.zone_first = c.take<std::uint32_t>(pixels + 1);
    w.zone_palette = c.take<std::uint8_t>(pixels);
    w.zone_second = c.take<std::uint8_t>(pixels);
    w.zone_error = c.take<std::uint64_t>(pixels);
    w.zone_second_close = c.take<std::uint8_t>(pixels);
    w.zone_candidates = c.take<std::uint8_t>(pixels * multipalette::kCandidates);
    w.members = c.take<std::uint32_t>(pixels);
    w.member_first = c.take<std::uint32_t>(kTable + 1);
    w.palettes = c.take<Colours>(kTable);
    w.all_colours = c.take<Colours>(1);
    w.table = c.take<std::uint32_t>(kTable);
    w.palette_sizes = c.take<std::uint16_t>(kTable);
    for (PartScratch& s : w.parts) {
      s.zone_cells.carve(c, multipalette::kMaxZonePoints);
      s.zone_order = c.take<std::uint32_t>(multipalette::kMaxZonePoints);
      s.pool.carve(c, multipalette::kPoolCells);
      s.cell_r = c.take<std::int32_t>(multipalette::kPoolCells + 8);
      s.cell_g = c.take<std::int32_t>(multipalette::kPoolCells + 8);
      s.cell_b = c.take<std::int32_t>(multipalette::kPoolCells + 8);
      s.nearest = c.take<std::int32_t>(multipalette::kPoolCells + 8);
      s.order = c.take<std::int32_t>(multipalette::kPoolCells);
      s.boxes = c.take<multipalette::Box>(multipalette::kMaxColours);
      s.sums = c.take<Sums>(multipalette::kMaxColours);
      s.exact = c.take<Sums>(kTable);
    }
  };
  Carver measure(nullptr);
  carve(measure);
  if (!w.memory.allocate(measure.used())) return false;
  Carver real(w.memory.data());
  carve(real);
  w.max_width = max_width;
  w.max_height = max_height;
  w.kernels = &multipalette::kernels();
  return true;
}

std::int32_t Multipalette::build_and_map(Plane p, std::int32_t w, std::int32_t h,
                                         const ColourSettings& s) {
  Work& k = *work_;
  if (!ok()) return 0;
  k.plane = p;
  k.width = std::min(w, k.max_width);
  k.height = std::min(h, k.max_height);
  k.layout = zone_layout(k.width, k.height, s);
  k.zones = k.layout.zones_across * k.layout.zones_down;
  k.narrow =
      std::int64_t{k.layout.zone_width} * k.layout.zone_height <= multipalette::kNarrowWeight;
  std::fill(k.table, k.table + kTable, 0u);
  std::fill(k.palette_sizes, k.palette_sizes + kTable, std::uint16_t{0});
  k.palette_count = 0;
  if (k.zones == 0) return 0;

  k.summarise();
  k.first_grouping();
  k.refine();
  for (std::int32_t q = 0; q < k.palette_count; ++q) snap_to_keys(k.palettes[q]);
  k.improve_on_pixels();
  for (std::int32_t q = 0; q < k.palette_count; ++q) snap_to_keys(k.palettes[q]);
  k.map_pixels();

  std::int32_t colours = 0;
  for (std::int32_t q = 0; q < k.palette_count; ++q) {
    const Colours& c = k.palettes[q];
    k.palette_sizes[q] = static_cast<std::uint16_t>(c.count);
    for (std::int32_t j = 0; j < c.count; ++j) {
      k.table[q * k.layout.colours + j] = colour_key(make_pixel(c.r[j], c.g[j], c.b[j]));
    }
    colours += c.count;
  }
  return colours;
}

// One palette for the whole picture, then the group with the largest error is split in two
// until there are n groups (or none can be split), on a regular sample of the zones.
void Multipalette::Work::first_grouping() {
  std::fill(zone_palette, zone_palette + zones, std::uint8_t{0});
  std::fill(unsplittable, unsplittable + kTable, false);
  palette_count = 1;
  sample_step = 1;
  while (std::int64_t{(layout.zones_across - 1) / sample_step + 1} *
             ((layout.zones_down - 1) / sample_step + 1) >
         multipalette::kSampleZones) {
    ++sample_step;
  }
  list_members();
  const auto sample = static_cast<std::int32_t>(member_first[1]);
  build_palette(0, 0, members, sample, true);
  auto errors = [this, sample](int part) {
    const std::int32_t from = part == 0 ? 0 : sample / 2, to = part == 0 ? sample / 2 : sample;
    for (std::int32_t i = from; i < to; ++i) {
      const auto z = static_cast<std::int32_t>(members[i]);
      zone_error[z] = zone_error_under(z, 0);
    }
  };
  runner.run(errors);
  while (palette_count < layout.palettes && split_largest(palette_count)) {
  }
  sample_step = 1;
}

bool Multipalette::Work::split_largest(std::int32_t fresh) {
  std::uint64_t error[kTable] = {};
  for_sampled_zones([&](std::int32_t z) { error[zone_palette[z]] += zone_error[z]; });
  for (;;) {
    std::int32_t g = -1;
    for (std::int32_t q = 0; q < palette_count; ++q) {
      if (!unsplittable[q] && error[q] > 0 && (g < 0 || error[q] > error[g])) g = q;
    }
    if (g < 0) return false;
    if (split_palette(g, fresh)) return true;
    unsplittable[g] = true;
  }
}

// Palettes and choices in turns; a palette that no zone chose takes half of a large group.
void Multipalette::Work::refine() {
  for (int round = 0; round < multipalette::kRefineRounds; ++round) {
    assign_all(round == 0);
    list_members();
    for (std::int32_t q = 0; q < palette_count; ++q) {
      if (member_first[q] == member_first[q + 1] && !split_largest(q)) break;
    }
    list_members();
    auto rebuild = [this](int part) {
      for (std::int32_t q = part; q < palette_count; q += 2) {
        const std::uint32_t first = member_first[q];
        build_palette(part, q, members + first,
                      static_cast<std::int32_t>(member_first[q + 1] - first), false);
      }
    };
    runner.run(rebuild);
  }
  assign_all(false);
}

ZonedPalettes Multipalette::result() const {
  const Work& k = *work_;
  ZonedPalettes r;
  r.layout = k.layout;
  if (!ok()) return r;
  r.table = {k.table, static_cast<std::size_t>(kTable)};
  r.palette_sizes = {k.palette_sizes, static_cast<std::size_t>(k.layout.palettes)};
  r.zone_palettes = {k.zone_palette, static_cast<std::size_t>(k.zones)};
  return r;
}

}  // namespace img
