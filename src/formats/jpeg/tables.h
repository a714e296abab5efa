// The decoder's tables, which persist from one file to the next, and the scratch of one MCU.
#pragma once

#include <array>
#include <cstdint>

#include "formats/jpeg/color.h"
#include "formats/jpeg/huffman.h"

namespace formats::jpeg {

struct Component {
  std::uint8_t sampling = 0;  // horizontal factor << 4 | vertical factor
  std::uint8_t quant = 0;     // quantisation table identifier 0..3
  std::uint8_t dc_table = 0;  // Huffman table number 0..3
  std::uint8_t ac_table = 4;  // Huffman table number 4..7
  std::int16_t predictor = 0;
};

struct Tables {
  std::array<std::array<std::uint8_t, 64>, 4> quant{};  // zigzag order, as in the file
  std::array<HuffmanTable, 8> huffman{};                // 0..3 DC, 4..7 AC (identifier + 4)
  std::array<Component, 5> components{};                // indexed by identifier 1..4
  std::uint8_t frame_components = 0;
  std::int32_t frame_width = 0;
  std::int32_t frame_height = 0;
};

// The dequantised coefficients of one block, in the order decoded: value[i] at natural
// position pos[i], for i below count, each position at most once. Every other coefficient
// is zero (a listed one may be zero too).
struct alignas(16) BlockCoefs {
  std::int16_t value[64];
  std::uint8_t pos[64];
  int count;
};

// Coefficients and samples of the six block slots of an MCU: 0..3 luminance, 4 blue and
// 5 red colour difference.
struct alignas(64) ScanScratch {
  std::int32_t samples[6][64];
  ChromaTerms chroma;
  BlockCoefs blocks[6];
};

}  // namespace formats::jpeg
