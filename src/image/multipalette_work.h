// The multipalette stage's working state, shared by its source files. Everything is carved
// out of one allocation made by reserve(); a run allocates nothing.
#pragma once

#include <cstdint>

#include "image/image_store.h"
#include "image/multipalette.h"
#include "image/multipalette_cells.h"
#include "image/multipalette_kernels.h"
#include "image/part_runner.h"

namespace img {

namespace multipalette {

// A zone is summarised by at most this many weighted colours (never more than its pixels):
// an eighth of its pixels, at least kMinZonePoints and at most kMaxZonePoints.
constexpr std::int32_t kMinZonePoints = 32;
constexpr std::int32_t kMaxZonePoints = 1024;
// The colours of a group of zones are pooled into at most this many cells for its k-means.
constexpr std::int32_t kPoolCells = 4096;
// Rounds of palette building and reassignment after each split, and over all groups.
constexpr int kSplitRounds = 1;
constexpr int kRefineRounds = 2;
// Rounds of k-means for one palette.
constexpr int kLloydRounds = 4;

// The first grouping looks at a regular sample of at most this many zones.
constexpr std::int32_t kSampleZones = 8192;

// After a look at every palette, a zone's next choices are made among its best few.
constexpr std::int32_t kCandidates = 4;

constexpr std::uint64_t kNoError = ~std::uint64_t{0};

inline std::int32_t zone_points_cap(std::int64_t pixels) {
  const std::int64_t wanted = pixels / 8 < kMinZonePoints   ? kMinZonePoints
                              : pixels / 8 > kMaxZonePoints ? kMaxZonePoints
                                                            : pixels / 8;
  return static_cast<std::int32_t>(pixels < wanted ? pixels : wanted);
}

struct Sums {
  std::uint64_t r, g, b, w;
};

// A box of cells for the median cut: cells order[first ... end - 1].
struct Box {
  std::int32_t first, end;
  unsigned __int128 spread;  // weighted squared deviation of the cells' colours
  int axis;
  std::int32_t split;  // cells whose component on `axis` is at most this go to the first half
};

// Scratch of one part of a parallel job.
struct PartScratch {
  CellTable zone_cells;  // one zone's summary
  std::uint32_t* zone_order = nullptr;
  CellTable pool;  // a group's colours
  std::int32_t* cell_r = nullptr;
  std::int32_t* cell_g = nullptr;
  std::int32_t* cell_b = nullptr;
  std::int32_t* nearest = nullptr;
  std::int32_t* order = nullptr;
  Box* boxes = nullptr;
  Sums* sums = nullptr;   // per colour of the palette being built
  Sums* exact = nullptr;  // per table entry, for the pass over the exact pixels
  std::uint8_t index[64];
};

}  // namespace multipalette

struct Multipalette::Work {
  PartRunner runner;
  const multipalette::Kernels* kernels = nullptr;
  BigBuffer memory;
  std::int32_t max_width = 0, max_height = 0;

  // The picture of the current run.
  Plane plane;
  std::int32_t width = 0, height = 0;
  ZoneLayout layout;
  std::int32_t zones = 0;
  bool narrow = false;  // no zone has more than kNarrowWeight pixels

  // Zone summaries: zone z's weighted colours are points [zone_first[z], zone_first[z + 1]).
  Pixel* point_colour = nullptr;
  std::uint32_t* point_weight = nullptr;
  std::uint32_t* zone_first = nullptr;

  // Per zone: its palette, the runner-up, and its summary's error under its palette.
  std::uint8_t* zone_palette = nullptr;
  std::uint8_t* zone_second = nullptr;
  std::uint64_t* zone_error = nullptr;
  std::uint8_t* zone_second_close = nullptr;  // runner-up's error at most 1.5 times the best
  std::uint8_t* zone_candidates = nullptr;    // kCandidates per zone
  // While the first grouping runs, only zones on a grid of this step take part.
  std::int32_t sample_step = 1;
  // Zones listed by palette: palette p's are members[member_first[p] ... member_first[p + 1]).
  std::uint32_t* members = nullptr;
  std::uint32_t* member_first = nullptr;

  multipalette::Colours* palettes = nullptr;  // n of them
  std::int32_t palette_count = 0;             // palettes made so far
  bool unsplittable[256] = {};                // groups whose zones cannot be told apart
  // Every palette's colours in one list, palette p's from colour_first[p] (for small zones).
  multipalette::Colours* all_colours = nullptr;
  std::int32_t colour_first[257] = {};

  // The result.
  std::uint32_t* table = nullptr;
  std::uint16_t* palette_sizes = nullptr;

  multipalette::PartScratch parts[PartRunner::kParts];

  // Calls visit(z) for every sampled zone, in zone order.
  template <typename Visit>
  void for_sampled_zones(Visit visit) const {
    for (std::int32_t zy = 0; zy < layout.zones_down; zy += sample_step) {
      for (std::int32_t zx = 0; zx < layout.zones_across; zx += sample_step) {
        visit(zy * layout.zones_across + zx);
      }
    }
  }
  multipalette::PointArrays points() const { return {point_colour, point_weight}; }
  // The rectangle of zone z.
  void zone_rect(std::int32_t z, std::int32_t& x0, std::int32_t& y0, std::int32_t& x1,
                 std::int32_t& y1) const;
  // Summary error of zone z under palette p (above `bound`: stopped early).
  std::uint64_t zone_error_under(std::int32_t z, std::int32_t p,
                                 std::uint64_t bound = multipalette::kNoError) const {
    const std::uint32_t first = zone_first[z];
    return kernels->weighted_error(points(), first, zone_first[z + 1] - first, palettes[p], bound,
                                   narrow);
  }

  // multipalette.cpp
  // The first grouping of the zones into at most n palettes.
  void first_grouping();
  // Splits the palette with the largest error that can be split, into it and `fresh`.
  bool split_largest(std::int32_t fresh);
  // Rounds of palette building and zone choices.
  void refine();

  // multipalette_zones.cpp
  // Summarises every zone (points, zone_first).
  void summarise();
  // Gives every zone the palette under which its summary's error is smallest (the lower
  // palette among equals) and notes the runner-up; looks at every palette and notes the
  // zone's best few, or looks at those only.
  void assign_all(bool all_palettes);
  // One round of k-means on the exact pixels: each colour moves to the mean of the pixels
  // that take it.
  void improve_on_pixels();
  // Lets each zone take the better of its palette and the runner-up on its exact pixels, then
  // maps every pixel to the nearest colour of its zone's palette.
  void map_pixels();
  // The exact error of zone z under palette p; with `write`, the pixels are mapped as well.
  std::uint64_t map_zone(std::int32_t z, std::int32_t p, int part, bool write);

  // multipalette_group.cpp
  // Lists the sampled zones by palette (members, member_first) for palettes
  // 0 ... palette_count - 1.
  void list_members();
  // Builds palette p from the points of `count` zones listed at `list`: from scratch by a
  // median cut, or from its current colours; then k-means over the pooled cells.
  void build_palette(int part, std::int32_t p, const std::uint32_t* list, std::int32_t count,
                     bool fresh);
  // Moves part of palette g's zones to the unused palette `fresh` and builds both; false when
  // g's zones cannot be told apart.
  bool split_palette(std::int32_t g, std::int32_t fresh);
};

}  // namespace img
