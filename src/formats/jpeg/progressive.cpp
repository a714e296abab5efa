// Scans into stored coefficients (T.81 Annex G.1.2 for the progressive ones: spectral
// selection, successive approximation, end-of-band runs), then the placement of the
// finished blocks.
#include "formats/jpeg/progressive.h"

#include <algorithm>
#include <cstring>

#include "formats/jpeg/entropy.h"
#include "formats/jpeg/zigzag.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace formats::jpeg {
namespace {

// More scans than any encoder writes; with the rule that every coefficient is refined one
// bit at a time, it bounds the work a file can ask for.
constexpr int kMaxScans = 512;

// First DC scan: the predicted difference, scaled to the scan's bit position.
inline bool dc_first(BitReader& bits, const HuffmanTable& table, std::int16_t& predictor, int al,
                     std::int16_t* block) {
  bits.refill();
  const int symbol = decode_symbol(bits, table);
  if (symbol < 0) return false;
  predictor = static_cast<std::int16_t>(predictor + receive_value(bits, symbol & 15));
  block[0] = static_cast<std::int16_t>(predictor * (1 << al));
  return true;
}

// DC refinement: one more bit of the value, uncoded.
inline void dc_refine(BitReader& bits, int al, std::int16_t* block) {
  bits.refill();
  if (bits.peek(1) != 0) block[0] = static_cast<std::int16_t>(block[0] | (1 << al));
  bits.consume(1);
}

// First AC scan of positions ss..se: runs of zeros and values, or an end-of-band run that
// also covers the next `eobrun` blocks. A run beyond se is refused.
inline bool ac_first(BitReader& bits, const HuffmanTable& table, int ss, int se, int al,
                     int& eobrun, std::int16_t* block) {
  if (eobrun > 0) {
    --eobrun;
    return true;
  }
  for (int k = ss; k <= se; ++k) {
    bits.refill();
    std::int32_t value = 0;
    const int rs = decode_ac(bits, table, value);
    if (rs < 0) return false;
    const int run = rs >> 4;
    if ((rs & 15) == 0 && run != 15) {  // end of band, here and in the next blocks
      eobrun = (1 << run) - 1;
      if (run > 0) {
        eobrun += static_cast<int>(bits.peek(run));
        bits.consume(run);
      }
      return true;
    }
    k += run;
    if (k > se) return false;
    block[k] = static_cast<std::int16_t>(value * (1 << al));
  }
  return true;
}

// Bit k set when zigzag coefficient k of the block is nonzero.
inline std::uint64_t nonzero_mask(const std::int16_t* block) {
  std::uint64_t mask = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    const auto* p = reinterpret_cast<const __m128i*>(block + 16 * i);
    const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(p), zero),
                                          _mm_cmpeq_epi16(_mm_loadu_si128(p + 1), zero));
    const auto bits = static_cast<std::uint32_t>(~_mm_movemask_epi8(zeros) & 0xFFFF);
    mask |= static_cast<std::uint64_t>(bits) << (16 * i);
  }
#else
  for (int k = 0; k < 64; ++k) mask |= static_cast<std::uint64_t>(block[k] != 0) << k;
#endif
  return mask;
}

// One correction bit for a coefficient that is already nonzero: when set, the coefficient
// moves one step of 2^al away from zero (unless it already has that bit).
inline void refine(BitReader& bits, std::int16_t& c, int p1) {
  bits.refill();
  if (bits.peek(1) != 0 && (c & p1) == 0) {
    c = static_cast<std::int16_t>(c >= 0 ? c + p1 : c - p1);
  }
  bits.consume(1);
}

// Zigzag positions from..to as bits; none when from > to.
inline std::uint64_t positions(int from, int to) {
  if (from > to) return 0;
  return (~std::uint64_t{0} >> (63 - to)) & (~std::uint64_t{0} << from);
}

// Correction bits for the coefficients in `mask`, lowest position first.
inline void refine_all(BitReader& bits, std::int16_t* block, std::uint64_t mask, int p1) {
  for (; mask != 0; mask &= mask - 1) refine(bits, block[__builtin_ctzll(mask)], p1);
}

// AC refinement of positions ss..se: new coefficients of +-2^al placed after runs of
// zero-history coefficients, and a correction bit for every nonzero one passed on the way.
inline bool ac_refine(BitReader& bits, const HuffmanTable& table, int ss, int se, int al,
                      int& eobrun, std::int16_t* block) {
  const int p1 = 1 << al;
  // New coefficients go behind the position reached, so this stays true ahead of it.
  const std::uint64_t nonzero = nonzero_mask(block);
  int k = ss;
  if (eobrun == 0) {
    for (; k <= se; ++k) {
      bits.refill();
      const int rs = decode_symbol(bits, table);
      if (rs < 0) return false;
      int run = rs >> 4;
      int value = 0;
      if ((rs & 15) != 0) {
        if ((rs & 15) != 1) return false;  // a new coefficient is always +-1 step
        value = bits.peek(1) != 0 ? p1 : -p1;
        bits.consume(1);
      } else if (run != 15) {  // end of band: this block's rest is refined below
        eobrun = 1 << run;
        if (run > 0) {
          eobrun += static_cast<int>(bits.peek(run));
          bits.consume(run);
        }
        break;
      }
      // Pass `run` zero coefficients and stop on the next zero, where the new coefficient
      // goes; the nonzero ones passed on the way take a correction bit each.
      std::uint64_t zeros = ~nonzero & positions(k, se);
      for (; run > 0 && zeros != 0; --run) zeros &= zeros - 1;
      const int target = zeros != 0 ? __builtin_ctzll(zeros) : se + 1;
      refine_all(bits, block, nonzero & positions(k, target - 1), p1);
      k = target;
      if (value != 0) {
        if (k > se) return false;
        block[k] = static_cast<std::int16_t>(value);
      }
    }
  }
  if (eobrun > 0) {  // the rest of the band: only the nonzero coefficients take a bit
    refine_all(bits, block, nonzero & positions(k, se), p1);
    --eobrun;
  }
  return true;
}

// Dequantises a stored block into a block of listed coefficients (its nonzero ones), which
// the transform sums to the same samples as the single-scan decoder's list.
inline void load_block(const std::int16_t* block, const std::uint8_t* quant, BlockCoefs& out) {
  int count = 0;
  for (std::uint64_t mask = nonzero_mask(block); mask != 0; mask &= mask - 1) {
    const int i = __builtin_ctzll(mask);
    const auto f = static_cast<std::int16_t>(quant[i] * block[i]);
    out.value[count] = f;
    out.pos[count] = kZigzag[i];
    count += f != 0;
  }
  out.count = count;
}

std::int32_t ceil_div(std::int32_t a, std::int32_t b) {
  return (a + b - 1) / b;
}

}  // namespace

bool coefficient_frame_supported(int precision, std::span<const FrameComponent> components) {
  if (precision != 8) return false;
  if (components.size() == 1) return components[0].id == 1 && components[0].quant <= 3;
  if (components.size() != 3) return false;
  std::uint32_t seen = 0;
  int h1 = 0, v1 = 0;
  for (const FrameComponent& c : components) {
    if (c.id < 1 || c.id > 3 || c.quant > 3) return false;
    seen |= 1u << c.id;
    if (c.id == 1) {
      h1 = c.sampling >> 4;
      v1 = c.sampling & 15;
    } else if (c.sampling != 0x11) {
      return false;
    }
  }
  return seen == 0b1110 && h1 >= 1 && h1 <= 2 && v1 >= 1 && v1 <= 2;
}

std::size_t entropy_data_end(std::span<const std::uint8_t> file, std::size_t begin) {
  std::size_t at = std::min(begin, file.size());
  for (;;) {
    const void* found = std::memchr(file.data() + at, 0xFF, file.size() - at);
    if (found == nullptr) return file.size();
    at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - file.data());
    if (at + 1 >= file.size()) return at;
    const std::uint8_t next = file[at + 1];
    if (next != 0x00 && (next < 0xD0 || next > 0xD7)) return at;
    at += 2;  // a stuffed byte or a restart marker
  }
}

std::size_t CoefficientDecoder::blocks_for(std::int32_t width, std::int32_t height, int h1, int v1,
                                           int components) {
  if (components == 1) {
    return static_cast<std::size_t>(ceil_div(width, 8)) *
           static_cast<std::size_t>(ceil_div(height, 8));
  }
  const auto mcus = static_cast<std::size_t>(ceil_div(width, 8 * h1)) *
                    static_cast<std::size_t>(ceil_div(height, 8 * v1));
  return mcus * static_cast<std::size_t>(h1 * v1 + 2);
}

bool CoefficientDecoder::start(const Tables& tables, std::int32_t maxh, std::int32_t maxv,
                               bool progressive) {
  std::size_t wanted = 0;
  for (int h1 = 1; h1 <= 2; ++h1) {
    for (int v1 = 1; v1 <= 2; ++v1) wanted = std::max(wanted, blocks_for(maxh, maxv, h1, v1, 3));
  }
  if (wanted > capacity_) {
    capacity_ = 0;
    if (!buffer_.allocate(wanted * 64 * sizeof(std::int16_t))) return false;
    capacity_ = wanted;
  }

  const std::int32_t width = tables.frame_width;
  const std::int32_t height = tables.frame_height;
  components_ = tables.frame_components;
  const bool colour = components_ == 3;
  const int h1 = colour ? tables.components[1].sampling >> 4 : 1;
  const int v1 = colour ? tables.components[1].sampling & 15 : 1;
  mcu_cols_ = ceil_div(width, 8 * h1);
  mcu_rows_ = ceil_div(height, 8 * v1);
  auto* next = static_cast<std::int16_t*>(buffer_.data());
  for (int c = 0; c < components_; ++c) {
    Plane& p = planes_[c];
    p.h = c == 0 ? h1 : 1;
    p.v = c == 0 ? v1 : 1;
    p.cols = mcu_cols_ * p.h;
    p.rows = mcu_rows_ * p.v;
    // A component's own size is the frame's scaled by its share of the largest factors.
    p.used_cols = ceil_div(ceil_div(width * p.h, h1), 8);
    p.used_rows = ceil_div(ceil_div(height * p.v, v1), 8);
    p.blocks = next;
    p.quant_taken = false;
    p.done.fill(-1);
    next += static_cast<std::size_t>(p.cols) * static_cast<std::size_t>(p.rows) * 64;
  }
  const auto used = static_cast<std::size_t>(next - static_cast<std::int16_t*>(buffer_.data()));
  if (used > capacity_ * 64) return false;  // a frame larger than the store: never asked for
  std::memset(buffer_.data(), 0, used * sizeof(std::int16_t));
  progressive_ = progressive;
  scans_ = 0;
  return true;
}

// Checks the scan against the frame and the coefficients' history, and records it.
bool CoefficientDecoder::accept(const ScanHeader& scan, const Tables& tables) {
  if (++scans_ > kMaxScans || scan.count < 1 || scan.count > components_) return false;
  if (progressive_) {
    const bool dc = scan.ss == 0;
    if (dc ? scan.se != 0 : (scan.se < scan.ss || scan.se > 63 || scan.count != 1)) return false;
    if (scan.al > 13 || (scan.ah != 0 && scan.al != scan.ah - 1)) return false;
  }
  std::uint32_t seen = 0;
  for (int i = 0; i < scan.count; ++i) {
    const int id = scan.ids[i];
    if (id < 1 || id > components_ || (seen & (1u << id)) != 0) return false;
    seen |= 1u << id;
  }
  for (int i = 0; i < scan.count; ++i) {
    Plane& p = planes_[scan.ids[i] - 1];
    const int ss = progressive_ ? scan.ss : 0;
    const int se = progressive_ ? scan.se : 63;
    // AC coefficients come after the first DC scan; each coefficient's first scan comes
    // once, and every later one refines the bit below the previous scan's.
    if (ss > 0 && p.done[0] < 0) return false;
    for (int k = ss; k <= se; ++k) {
      const bool in_turn = progressive_ && scan.ah != 0 ? p.done[k] == scan.ah : p.done[k] < 0;
      if (!in_turn) return false;
      p.done[k] = static_cast<std::int8_t>(progressive_ ? scan.al : 0);
    }
    if (!p.quant_taken) {
      p.quant = tables.quant[tables.components[scan.ids[i]].quant];
      p.quant_taken = true;
    }
  }
  return true;
}

bool CoefficientDecoder::decode_scan(std::span<const std::uint8_t> file, std::size_t begin,
                                     std::size_t end, const ScanHeader& scan, Tables& tables,
                                     std::uint16_t restart_interval) {
  if (!accept(scan, tables)) return false;
  const HuffmanTable* dc[4];
  const HuffmanTable* ac[4];
  std::int16_t* predictors[4];
  for (int i = 0; i < scan.count; ++i) {
    Component& c = tables.components[scan.ids[i]];
    dc[i] = &tables.huffman[c.dc_table];
    ac[i] = &tables.huffman[c.ac_table];
    c.predictor = 0;
    predictors[i] = &c.predictor;
  }
  BitReader bits(file.data(), end, begin);
  int eobrun = 0;
  int mcu_counter = 0;

  // Walks the scan's MCUs in order with `decode(i, block)` for every block of the i-th
  // scan component, handling restarts; false at the first fault.
  const auto walk = [&](auto decode) {
    const auto next_mcu = [&]() {
      if (bits.overran()) return false;  // the scan needed bits beyond its data
      if (++mcu_counter == restart_interval) {
        mcu_counter = 0;
        bits.restart();
        eobrun = 0;
        for (int i = 0; i < scan.count; ++i) *predictors[i] = 0;
      }
      return true;
    };
    if (scan.count == 1) {  // one component: its own blocks, one per MCU
      const Plane& p = planes_[scan.ids[0] - 1];
      for (std::int32_t by = 0; by < p.used_rows; ++by) {
        for (std::int32_t bx = 0; bx < p.used_cols; ++bx) {
          if (!decode(0, p.block(bx, by)) || !next_mcu()) return false;
        }
      }
      return true;
    }
    for (std::int32_t my = 0; my < mcu_rows_; ++my) {
      for (std::int32_t mx = 0; mx < mcu_cols_; ++mx) {
        for (int i = 0; i < scan.count; ++i) {
          const Plane& p = planes_[scan.ids[i] - 1];
          for (int v = 0; v < p.v; ++v) {
            for (int h = 0; h < p.h; ++h) {
              if (!decode(i, p.block(mx * p.h + h, my * p.v + v))) return false;
            }
          }
        }
        if (!next_mcu()) return false;
      }
    }
    return true;
  };

  const int ss = scan.ss, se = scan.se, al = scan.al;
  if (!progressive_) {
    return walk([&](int i, std::int16_t* block) {
      return dc_first(bits, *dc[i], *predictors[i], 0, block) &&
             ac_first(bits, *ac[i], 1, 63, 0, eobrun, block) && eobrun == 0;
    });
  }
  if (ss == 0 && scan.ah == 0) {
    return walk([&](int i, std::int16_t* block) {
      return dc_first(bits, *dc[i], *predictors[i], al, block);
    });
  }
  if (ss == 0) {
    return walk([&](int, std::int16_t* block) {
      dc_refine(bits, al, block);
      return true;
    });
  }
  if (scan.ah == 0) {
    return walk([&](int, std::int16_t* block) {
      return ac_first(bits, *ac[0], ss, se, al, eobrun, block);
    });
  }
  return walk(
      [&](int, std::int16_t* block) { return ac_refine(bits, *ac[0], ss, se, al, eobrun, block); });
}

bool CoefficientDecoder::place(const McuWriter& writer, McuPlacer placer,
                               ScanScratch& scratch) const {
  const Plane& luma = planes_[0];
  const int blocks = luma.h * luma.v + (components_ == 3 ? 2 : 0);
  for (std::int32_t my = 0; my < mcu_rows_; ++my) {
    for (std::int32_t mx = 0; mx < mcu_cols_; ++mx) {
      for (int v = 0; v < luma.v; ++v) {
        for (int h = 0; h < luma.h; ++h) {
          load_block(luma.block(mx * luma.h + h, my * luma.v + v), luma.quant.data(),
                     scratch.blocks[v * luma.h + h]);
        }
      }
      if (components_ == 3) {
        const int chroma = luma.h * luma.v;
        load_block(planes_[1].block(mx, my), planes_[1].quant.data(), scratch.blocks[chroma]);
        load_block(planes_[2].block(mx, my), planes_[2].quant.data(), scratch.blocks[chroma + 1]);
      }
      if (!placer(writer, scratch.blocks, blocks, mx, 1, my * 8 * luma.v, scratch)) return true;
    }
  }
  return false;
}

}  // namespace formats::jpeg
