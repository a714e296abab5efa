#include "image/reduce.h"

#include <algorithm>
#include <array>

#include "image/reduce_spread.h"

namespace img {

namespace {

using Table = std::array<std::uint8_t, 256>;

constexpr Pixel with_components(Pixel q, std::int32_t b, std::int32_t g, std::int32_t r) {
  return (q & 0xFF000000u) | (static_cast<Pixel>(r) << 16) | (static_cast<Pixel>(g) << 8) |
         static_cast<Pixel>(b);
}

// Applies map(pixel, parity) to every pixel (parity 1 on odd cells: column + row odd).
// Without dithering both parities behave alike and parity 0 serves every cell.
template <typename Map>
void map_cells(Plane p, std::int32_t w, std::int32_t h, bool checkerboard, Map map) {
  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    if (!checkerboard) {
      for (std::int32_t x = 0; x < w; ++x) row[x] = map(row[x], 0);
    } else {
      for (std::int32_t x = 0; x < w; ++x) row[x] = map(row[x], (x + y) & 1);
    }
  }
}

std::int32_t component_step(std::int64_t levels, std::int64_t m) {
  const std::int64_t step = levels > 1 ? (255 / (m * levels - 1)) * m : 510;
  return static_cast<std::int32_t>(std::max<std::int64_t>(step, 1));
}

// The nearest candidates of one component. The eight plain candidates of a colour are every
// combination of each component's floor lattice value and the value one step up (or the
// floor again above 255); their squared distances add up, so the nearest (first on ties,
// which prefers the floor) is chosen per component. The eight lifted candidates are the
// same plus h and are chosen the same way. A lifted value above 255 is stored as 255 but
// its distance is the true one.
struct QuantEntry {
  std::int32_t lift_gain = 0;  // lifted distance minus plain distance
  Pixel plain = 0;             // the plain choice, in its place in the pixel word
  Pixel lifted = 0;
  std::int16_t plain_right = 0;  // the right neighbour's share of the error of each choice
  std::int16_t lifted_right = 0;
};
using QuantTable = std::array<QuantEntry, 256>;

QuantTable component_table(std::int32_t step, std::int32_t h, int shift) {
  QuantTable t;
  for (std::int32_t v = 0; v < 256; ++v) {
    const std::int32_t floor = (v / step) * step;
    std::int32_t up = floor + step;
    if (up > 255) up = floor;
    const std::int32_t d0 = (v - floor) * (v - floor);
    const std::int32_t d1 = (v - up) * (v - up);
    const std::int32_t e0 = (v - floor - h) * (v - floor - h);
    const std::int32_t e1 = (v - up - h) * (v - up - h);
    const std::int32_t plain = d1 < d0 ? up : floor;
    const std::int32_t lifted = std::min(e1 < e0 ? up + h : floor + h, 255);
    t[v].plain = static_cast<Pixel>(plain) << shift;
    t[v].lifted = static_cast<Pixel>(lifted) << shift;
    t[v].lift_gain = std::min(e0, e1) - std::min(d0, d1);
    t[v].plain_right = static_cast<std::int16_t>(spread::right_share(v - plain));
    t[v].lifted_right = static_cast<std::int16_t>(spread::right_share(v - lifted));
  }
  return t;
}

// The quantiser of the colour path: the nearest of the 8 (or 16) lattice candidates. The
// lifted candidates come after the plain ones, so they win only when strictly nearer.
struct ColourQuantiser {
  QuantTable blue, green, red;
  bool intensity_bit = false;

  explicit ColourQuantiser(const ColourLattice& l)
      : blue(component_table(l.blue_step, l.intensity, 0)),
        green(component_table(l.green_step, l.intensity, 8)),
        red(component_table(l.red_step, l.intensity, 16)),
        intensity_bit(l.intensity_bit) {}

  Pixel operator()(std::uint32_t b, std::uint32_t g, std::uint32_t r) const {
    const QuantEntry& qb = blue[b];
    const QuantEntry& qg = green[g];
    const QuantEntry& qr = red[r];
    // Branch-free: which candidate wins changes from pixel to pixel.
    const Pixel lift =
        0u - static_cast<Pixel>(intensity_bit && qb.lift_gain + qg.lift_gain + qr.lift_gain < 0);
    return ((qb.lifted | qg.lifted | qr.lifted) & lift) |
           ((qb.plain | qg.plain | qr.plain) & ~lift);
  }

  // The same for error diffusion, with the right neighbour's shares.
  spread::Step step(std::int32_t b, std::int32_t g, std::int32_t r) const {
    const QuantEntry& qb = blue[b];
    const QuantEntry& qg = green[g];
    const QuantEntry& qr = red[r];
    if (intensity_bit && qb.lift_gain + qg.lift_gain + qr.lift_gain < 0)
      return {qb.lifted | qg.lifted | qr.lifted, qb.lifted_right, qg.lifted_right, qr.lifted_right};
    return {qb.plain | qg.plain | qr.plain, qb.plain_right, qg.plain_right, qr.plain_right};
  }
};

enum class Method { kPlain, kOrdered, kDiffusion };

Method method_of(const ColourSettings& s) {
  if (!s.dithering) return Method::kPlain;
  return s.floyd_steinberg ? Method::kDiffusion : Method::kOrdered;
}

void reduce_colour(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s) {
  const ColourLattice lattice = colour_lattice(s);
  const ColourQuantiser quantiser(lattice);
  const Method method = method_of(s);
  if (method == Method::kDiffusion) {
    spread::diffuse(p, w, h, 0xFFFFFF,
                    [&quantiser](std::int32_t b, std::int32_t g, std::int32_t r) {
                      return quantiser.step(b, g, r);
                    });
    return;
  }

  // Plain rounding and ordered dithering: the pre-shift of each component depends only on
  // the cell's parity. Even cells shift by -d, odd cells by h - d, clamped once.
  std::array<Table, 2> shift{};
  const std::int32_t d = lattice.intensity / 2;
  const bool ordered = method == Method::kOrdered;
  for (std::int32_t v = 0; v < 256; ++v) {
    shift[0][v] = static_cast<std::uint8_t>(ordered ? spread::clamp_byte(v - d) : v);
    shift[1][v] =
        static_cast<std::uint8_t>(ordered ? spread::clamp_byte(v - d + lattice.intensity) : v);
  }

  if (!lattice.intensity_bit) {
    // Components are independent: one composed byte table per parity and component.
    std::array<std::array<Table, 3>, 2> table{};
    for (int parity = 0; parity < 2; ++parity) {
      for (std::int32_t v = 0; v < 256; ++v) {
        const std::uint8_t sv = shift[parity][v];
        table[parity][0][v] = static_cast<std::uint8_t>(quantiser.blue[sv].plain);
        table[parity][1][v] = static_cast<std::uint8_t>(quantiser.green[sv].plain >> 8);
        table[parity][2][v] = static_cast<std::uint8_t>(quantiser.red[sv].plain >> 16);
      }
    }
    map_cells(p, w, h, ordered, [&table](Pixel q, int parity) {
      const auto& t = table[parity];
      return with_components(q, t[0][q & 0xFF], t[1][(q >> 8) & 0xFF], t[2][(q >> 16) & 0xFF]);
    });
    return;
  }

  // With the intensity bit: the quantiser's tables composed with each parity's shift.
  std::array<ColourQuantiser, 2> by_parity = {quantiser, quantiser};
  for (int parity = 0; parity < 2; ++parity) {
    for (std::int32_t v = 0; v < 256; ++v) {
      const std::uint8_t sv = shift[parity][v];
      by_parity[parity].blue[v] = quantiser.blue[sv];
      by_parity[parity].green[v] = quantiser.green[sv];
      by_parity[parity].red[v] = quantiser.red[sv];
    }
  }
  map_cells(p, w, h, ordered, [&by_parity](Pixel q, int parity) {
    return (q & 0xFF000000u) | by_parity[parity](q & 0xFF, (q >> 8) & 0xFF, (q >> 16) & 0xFF);
  });
}

// Grey value Y = (30 blue + 149 green + 77 red) / 256.
inline std::int32_t grey_of(Pixel q) {
  return (30 * static_cast<std::int32_t>(q & 0xFF) +
          149 * static_cast<std::int32_t>((q >> 8) & 0xFF) +
          77 * static_cast<std::int32_t>((q >> 16) & 0xFF)) >>
         8;
}

inline Pixel grey_pixel(Pixel q, std::int32_t v) {
  return with_components(q, v, v, v);
}

void reduce_grey(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s) {
  const std::int64_t levels = std::max({s.red_levels, s.green_levels, s.blue_levels});
  if (levels < 2) {
    for (std::int32_t y = 0; y < h; ++y) {
      Pixel* row = p.row(y);
      for (std::int32_t x = 0; x < w; ++x) row[x] &= 0xFF000000u;
    }
    return;
  }
  const std::int32_t q = static_cast<std::int32_t>(std::max<std::int64_t>(255 / (levels - 1), 1));
  const std::int32_t t2 = q / 2;
  const std::int32_t t1 = s.dithering ? q / 4 : t2;
  const std::int32_t t3 = s.dithering ? t2 + q / 4 : t2;
  // Quantising rounds up from the offset; the top level is the largest multiple of q <= 255.
  auto quantise = [q](std::int32_t v, std::int32_t t) {
    const std::int32_t level = ((v + t) / q) * q;
    return level > 255 ? level - q : level;
  };

  if (method_of(s) == Method::kDiffusion) {
    Table level{};
    for (std::int32_t v = 0; v < 256; ++v) level[v] = static_cast<std::uint8_t>(quantise(v, t2));
    // The grey values go into the blue components, which then carry the diffused error.
    for (std::int32_t y = 0; y < h; ++y) {
      Pixel* row = p.row(y);
      for (std::int32_t x = 0; x < w; ++x)
        row[x] = (row[x] & ~Pixel{0xFF}) | static_cast<Pixel>(grey_of(row[x]));
    }
    std::array<spread::Step, 256> step{};
    for (std::int32_t v = 0; v < 256; ++v) {
      const Pixel y = level[v];
      step[v] = {(y << 16) | (y << 8) | y, spread::right_share(v - static_cast<std::int32_t>(y)), 0,
                 0};
    }
    spread::diffuse(p, w, h, 0x0000FF,
                    [&step](std::int32_t b, std::int32_t, std::int32_t) { return step[b]; });
    return;
  }

  std::array<Table, 2> level{};  // even cells (offset t3), odd cells (offset t1)
  for (std::int32_t v = 0; v < 256; ++v) {
    level[0][v] = static_cast<std::uint8_t>(quantise(v, t3));
    level[1][v] = static_cast<std::uint8_t>(quantise(v, t1));
  }
  map_cells(p, w, h, s.dithering,
            [&level](Pixel px, int parity) { return grey_pixel(px, level[parity][grey_of(px)]); });
}

}  // namespace

ColourLattice colour_lattice(const ColourSettings& s) {
  const std::int64_t m = s.intensity_bit ? 2 : 1;
  ColourLattice l;
  l.blue_step = component_step(s.blue_levels, m);
  l.green_step = component_step(s.green_levels, m);
  l.red_step = component_step(s.red_levels, m);
  l.intensity = l.green_step / 2;
  l.intensity_bit = s.intensity_bit;
  return l;
}

void reduce_colours(Plane p, std::int32_t w, std::int32_t h, const ColourSettings& s) {
  if (w < 1 || h < 1) return;
  if (s.greyscale) {
    reduce_grey(p, w, h, s);
  } else {
    reduce_colour(p, w, h, s);
  }
}

}  // namespace img
