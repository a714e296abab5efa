#include "image/reduce.h"

#include <algorithm>
#include <array>

namespace img {

namespace {

using Table = std::array<std::uint8_t, 256>;

constexpr std::int32_t clamp_byte(std::int32_t v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

constexpr Pixel with_components(Pixel q, std::int32_t b, std::int32_t g, std::int32_t r) {
  return (q & 0xFF000000u) | (static_cast<Pixel>(r) << 16) | (static_cast<Pixel>(g) << 8) |
         static_cast<Pixel>(b);
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
struct ComponentQuantiser {
  Table plain{};
  Table lifted{};
  std::array<std::int32_t, 256> plain_distance{};
  std::array<std::int32_t, 256> lifted_distance{};

  void build(std::int32_t step, std::int32_t h) {
    for (std::int32_t v = 0; v < 256; ++v) {
      const std::int32_t floor = (v / step) * step;
      std::int32_t up = floor + step;
      if (up > 255) up = floor;
      const std::int32_t d0 = (v - floor) * (v - floor);
      const std::int32_t d1 = (v - up) * (v - up);
      plain[v] = static_cast<std::uint8_t>(d1 < d0 ? up : floor);
      plain_distance[v] = std::min(d0, d1);
      const std::int32_t e0 = (v - floor - h) * (v - floor - h);
      const std::int32_t e1 = (v - up - h) * (v - up - h);
      lifted[v] = static_cast<std::uint8_t>(std::min(e1 < e0 ? up + h : floor + h, 255));
      lifted_distance[v] = std::min(e0, e1);
    }
  }
};

// The quantiser of the colour path: the nearest of the 8 (or 16) lattice candidates.
// The lifted candidates win only when strictly nearer, as they come after the plain ones.
struct ColourQuantiser {
  ComponentQuantiser blue, green, red;
  bool intensity_bit = false;

  explicit ColourQuantiser(const ColourLattice& l) : intensity_bit(l.intensity_bit) {
    blue.build(l.blue_step, l.intensity);
    green.build(l.green_step, l.intensity);
    red.build(l.red_step, l.intensity);
  }

  void quantise(std::int32_t b, std::int32_t g, std::int32_t r, std::int32_t& qb, std::int32_t& qg,
                std::int32_t& qr) const {
    if (intensity_bit) {
      const std::int32_t d0 =
          blue.plain_distance[b] + green.plain_distance[g] + red.plain_distance[r];
      const std::int32_t d1 =
          blue.lifted_distance[b] + green.lifted_distance[g] + red.lifted_distance[r];
      if (d1 < d0) {
        qb = blue.lifted[b];
        qg = green.lifted[g];
        qr = red.lifted[r];
        return;
      }
    }
    qb = blue.plain[b];
    qg = green.plain[g];
    qr = red.plain[r];
  }
};

// Adds the shares of an error to a neighbour, clamping after the addition.
inline void add_error(Pixel& q, std::int32_t sb, std::int32_t sg, std::int32_t sr) {
  q = with_components(q, clamp_byte(static_cast<std::int32_t>(q & 0xFF) + sb),
                      clamp_byte(static_cast<std::int32_t>((q >> 8) & 0xFF) + sg),
                      clamp_byte(static_cast<std::int32_t>((q >> 16) & 0xFF) + sr));
}

// Floyd-Steinberg shares of the error at (x, y): 7/16 right, 3/16 below left, 5/16 below,
// 1/16 below right, each rounded towards minus infinity.
inline void diffuse(Plane p, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                    std::int32_t eb, std::int32_t eg, std::int32_t er) {
  Pixel* row = p.row(y);
  const bool right = x + 1 < w;
  if (right) add_error(row[x + 1], (7 * eb) >> 4, (7 * eg) >> 4, (7 * er) >> 4);
  if (y + 1 >= h) return;
  Pixel* below = p.row(y + 1);
  if (x > 0) add_error(below[x - 1], (3 * eb) >> 4, (3 * eg) >> 4, (3 * er) >> 4);
  add_error(below[x], (5 * eb) >> 4, (5 * eg) >> 4, (5 * er) >> 4);
  if (right) add_error(below[x + 1], eb >> 4, eg >> 4, er >> 4);
}

// The same for the grey path, through the blue component only.
inline void add_grey_error(Pixel& q, std::int32_t share) {
  q = (q & ~Pixel{0xFF}) |
      static_cast<Pixel>(clamp_byte(static_cast<std::int32_t>(q & 0xFF) + share));
}

inline void diffuse_grey(Plane p, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                         std::int32_t e) {
  Pixel* row = p.row(y);
  const bool right = x + 1 < w;
  if (right) add_grey_error(row[x + 1], (7 * e) >> 4);
  if (y + 1 >= h) return;
  Pixel* below = p.row(y + 1);
  if (x > 0) add_grey_error(below[x - 1], (3 * e) >> 4);
  add_grey_error(below[x], (5 * e) >> 4);
  if (right) add_grey_error(below[x + 1], e >> 4);
}

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
    for (std::int32_t y = 0; y < h; ++y) {
      Pixel* row = p.row(y);
      for (std::int32_t x = 0; x < w; ++x) {
        const Pixel q = row[x];
        const std::int32_t b = static_cast<std::int32_t>(q & 0xFF);
        const std::int32_t g = static_cast<std::int32_t>((q >> 8) & 0xFF);
        const std::int32_t r = static_cast<std::int32_t>((q >> 16) & 0xFF);
        std::int32_t qb, qg, qr;
        quantiser.quantise(b, g, r, qb, qg, qr);
        row[x] = with_components(q, qb, qg, qr);
        if (b != qb || g != qg || r != qr) diffuse(p, x, y, w, h, b - qb, g - qg, r - qr);
      }
    }
    return;
  }

  // Plain rounding and ordered dithering: the pre-shift of each component depends only on
  // the cell's parity. Even cells shift by -d, odd cells by h - d, clamped once.
  std::array<Table, 2> shift{};
  const std::int32_t d = lattice.intensity / 2;
  for (std::int32_t v = 0; v < 256; ++v) {
    const bool ordered = method == Method::kOrdered;
    shift[0][v] = static_cast<std::uint8_t>(ordered ? clamp_byte(v - d) : v);
    shift[1][v] = static_cast<std::uint8_t>(ordered ? clamp_byte(v - d + lattice.intensity) : v);
  }

  if (!lattice.intensity_bit) {
    // Components are independent: one composed table per parity and component.
    std::array<std::array<Table, 3>, 2> table{};
    for (int parity = 0; parity < 2; ++parity) {
      for (std::int32_t v = 0; v < 256; ++v) {
        const std::uint8_t sv = shift[parity][v];
        table[parity][0][v] = quantiser.blue.plain[sv];
        table[parity][1][v] = quantiser.green.plain[sv];
        table[parity][2][v] = quantiser.red.plain[sv];
      }
    }
    for (std::int32_t y = 0; y < h; ++y) {
      Pixel* row = p.row(y);
      for (std::int32_t x = 0; x < w; ++x) {
        const auto& t = table[(x + y) & 1];
        const Pixel q = row[x];
        row[x] = with_components(q, t[0][q & 0xFF], t[1][(q >> 8) & 0xFF], t[2][(q >> 16) & 0xFF]);
      }
    }
    return;
  }

  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    for (std::int32_t x = 0; x < w; ++x) {
      const Table& sh = shift[(x + y) & 1];
      const Pixel q = row[x];
      std::int32_t qb, qg, qr;
      quantiser.quantise(sh[q & 0xFF], sh[(q >> 8) & 0xFF], sh[(q >> 16) & 0xFF], qb, qg, qr);
      row[x] = with_components(q, qb, qg, qr);
    }
  }
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
    for (std::int32_t y = 0; y < h; ++y) {
      Pixel* row = p.row(y);
      for (std::int32_t x = 0; x < w; ++x) {
        const std::int32_t v = static_cast<std::int32_t>(row[x] & 0xFF);
        const std::int32_t out = level[v];
        row[x] = grey_pixel(row[x], out);
        if (v != out) diffuse_grey(p, x, y, w, h, v - out);
      }
    }
    return;
  }

  std::array<Table, 2> level{};  // even cells (offset t3), odd cells (offset t1)
  for (std::int32_t v = 0; v < 256; ++v) {
    level[0][v] = static_cast<std::uint8_t>(quantise(v, t3));
    level[1][v] = static_cast<std::uint8_t>(quantise(v, t1));
  }
  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    for (std::int32_t x = 0; x < w; ++x)
      row[x] = grey_pixel(row[x], level[(x + y) & 1][grey_of(row[x])]);
  }
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
