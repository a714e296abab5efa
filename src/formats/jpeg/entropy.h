// Huffman symbols and the value bits that follow them, read from a scan's bits.
#pragma once

#include <array>
#include <cstdint>

#include "formats/jpeg/bit_reader.h"
#include "formats/jpeg/huffman.h"
#include "formats/jpeg/tables.h"

namespace formats::jpeg {

// Returns the symbol, or -1 when no code of up to 16 bits matches. Needs 16 buffered bits.
inline int decode_symbol(BitReader& bits, const HuffmanTable& table) {
  const std::uint16_t entry = table.fast[bits.peek(kLookaheadBits)];
  if (entry != 0) {
    bits.consume(entry >> 8);
    return entry & 0xFF;
  }
  const std::uint32_t next = bits.peek(16);
  for (int length = kLookaheadBits + 1; length <= 16; ++length) {
    const auto code = static_cast<std::int32_t>(next >> (16 - length));
    if (code < table.limit[length]) {
      bits.consume(length);
      return table.symbols[table.offset[length] + code - table.first[length]];
    }
  }
  return -1;
}

// The value of `size` bits that follow a symbol (T.81 EXTEND). Needs `size` buffered bits.
inline std::int32_t receive_value(BitReader& bits, int size) {
  if (size == 0) return 0;
  const auto m = static_cast<std::int32_t>(bits.peek(size));
  bits.consume(size);
  return (m >> (size - 1)) != 0 ? m : m - ((1 << size) - 1);
}

// An AC symbol and the value that follows it, in one look-up when both fit in the lookahead
// bits. Returns the symbol (value set), or -1 when no code matches. Needs 31 buffered bits.
[[gnu::always_inline]] inline int decode_ac(BitReader& bits, const HuffmanTable& table,
                                            std::int32_t& value) {
  const std::int32_t fast = table.fast_ac[bits.peek(kLookaheadBits)];
  if (fast != 0) {
    bits.consume(fast & 0xFF);
    value = fast >> 16;
    return (fast >> 8) & 0xFF;
  }
  const int rs = decode_symbol(bits, table);
  value = rs > 0 ? receive_value(bits, rs & 15) : 0;
  return rs;
}

// A single-scan frame being decoded MCU by MCU: the reader, the component of each block of
// an MCU (luminance blocks, then blue and red), and the restart count.
struct ScanState {
  BitReader bits;
  Tables* tables;
  int blocks;                    // per MCU
  std::array<Component*, 6> of;  // component of each block
  std::uint16_t restart_interval;
  int mcu_counter = 0;
  // For each block of an MCU, each zigzag position p: the quantisation step at p, and the
  // natural position of p shifted up by 16 (one look-up per coefficient). Zero from 64 on,
  // where a run that overshoots the block lands before it is refused.
  std::array<std::array<std::uint32_t, 80>, 6> steps{};
};

// Decodes up to `mcus` MCUs into `out` (blocks() blocks each, in order). Returns how many
// were decoded whole; fewer than asked when the data is damaged or runs out.
using RowDecoder = int (*)(ScanState& state, BlockCoefs* out, int mcus);

// The fastest version this processor runs, and the portable one.
RowDecoder select_row_decoder();
int decode_mcus_generic(ScanState& state, BlockCoefs* out, int mcus);

}  // namespace formats::jpeg
