// Huffman tables: the file's counts and symbols, the generated codes, and the lookup
// structures that decode a symbol in one table access for codes of up to 10 bits.
#pragma once

#include <array>
#include <cstdint>

namespace formats::jpeg {

constexpr int kLookaheadBits = 10;
constexpr int kMaxSymbols = 2048;

struct HuffmanTable {
  std::array<std::uint8_t, 16> counts{};  // counts[L - 1]: codes of length L
  std::array<std::uint8_t, kMaxSymbols> symbols{};
  std::array<std::uint16_t, kMaxSymbols> codes{};
  int symbol_count = 0;

  // fast[next 10 bits] = (length << 8) | symbol for codes of up to 10 bits, else 0.
  std::array<std::uint16_t, 1 << kLookaheadBits> fast{};
  // For AC use: fast_ac[next 10 bits] = value << 16 | symbol << 8 | bits taken, when the
  // code and the value bits that follow it fit in those 10 bits; 0 otherwise.
  std::array<std::int32_t, 1 << kLookaheadBits> fast_ac{};
  // Codes of length L are the values first[L] .. limit[L] - 1; offset[L] is the index of
  // the first symbol of length L.
  std::array<std::int32_t, 17> first{};
  std::array<std::int32_t, 17> limit{};
  std::array<std::int32_t, 17> offset{};
};

// Generates the canonical codes for `counts` into `codes` (symbol order). Returns false
// when the counts are over-subscribed: a code of length L would need more than L bits.
bool generate_codes(const std::array<std::uint8_t, 16>& counts, std::uint16_t* codes);

// Fills codes and lookup structures from counts, symbols and symbol_count. Returns false
// (leaving `table` unusable) when the table is refused: over-subscribed or too many symbols.
bool build_huffman_table(HuffmanTable& table);

}  // namespace formats::jpeg
