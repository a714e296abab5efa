#include "formats/jpeg/huffman.h"

namespace formats::jpeg {

bool generate_codes(const std::array<std::uint8_t, 16>& counts, std::uint16_t* codes) {
  std::uint32_t code = 0;
  int n = 0;
  for (int length = 1; length <= 16; ++length) {
    const std::uint32_t count = counts[length - 1];
    if (code + count > (1u << length)) return false;
    for (std::uint32_t i = 0; i < count; ++i) codes[n++] = static_cast<std::uint16_t>(code++);
    code <<= 1;
  }
  return true;
}

bool build_huffman_table(HuffmanTable& table) {
  int total = 0;
  for (const std::uint8_t c : table.counts) total += c;
  if (total > kMaxSymbols || total != table.symbol_count) return false;
  if (!generate_codes(table.counts, table.codes.data())) return false;

  table.fast.fill(0);
  int n = 0;
  std::int32_t code = 0;
  for (int length = 1; length <= 16; ++length) {
    const int count = table.counts[length - 1];
    table.first[length] = code;
    table.limit[length] = code + count;
    table.offset[length] = n;
    for (int i = 0; i < count; ++i, ++n, ++code) {
      if (length > kLookaheadBits) continue;
      // Every lookahead pattern that starts with this code decodes to it.
      const int spread = kLookaheadBits - length;
      const int base = code << spread;
      for (int k = 0; k < (1 << spread); ++k) {
        table.fast[base + k] = static_cast<std::uint16_t>((length << 8) | table.symbols[n]);
      }
    }
    code <<= 1;
  }

  // Symbol and value together, for short codes followed by few value bits.
  for (int look = 0; look < (1 << kLookaheadBits); ++look) {
    table.fast_ac[look] = 0;
    const std::uint16_t entry = table.fast[look];
    if (entry == 0) continue;
    const int length = entry >> 8;
    const int symbol = entry & 0xFF;
    const int size = symbol & 15;
    if (length + size > kLookaheadBits) continue;
    int value = 0;
    if (size > 0) {
      const int m = (look >> (kLookaheadBits - length - size)) & ((1 << size) - 1);
      value = (m >> (size - 1)) != 0 ? m : m - ((1 << size) - 1);
    }
    table.fast_ac[look] = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << 16) |
                          (symbol << 8) | (length + size);
  }
  return true;
}

}  // namespace formats::jpeg
