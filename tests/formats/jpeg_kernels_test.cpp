// The basis table, the code generation, and the fast kernels against their plain oracles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "formats/jpeg/color.h"
#include "formats/jpeg/decoder.h"
#include "formats/jpeg/huffman.h"
#include "formats/jpeg/idct.h"
#include "sha1.h"

namespace formats_test {
namespace {

using namespace formats::jpeg;

TEST(BasisTable, IsPinnedToTheSingleprecisionRule) {
  const auto decoder = std::make_unique<formats::JpegDecoder>();
  const BasisTable& t = decoder->basis();
  std::vector<std::uint8_t> bytes;
  int largest = 0;
  for (int d = 0; d < 64; ++d) {
    for (int j = 0; j < 64; ++j) {
      const auto v = static_cast<std::uint32_t>(t.w[d][j]);
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
      largest = std::max(largest, std::abs(t.w[d][j]));
      if (d == 0) {
        EXPECT_EQ(t.w[0][j], 32768) << j;
      }
    }
  }
  EXPECT_EQ(largest, 63042);
  EXPECT_EQ(sha1_hex(bytes), "4fa9ab365d500fb9aa7352bf1c6d060c45d3c278");
  // Within 1 of the exact weights 65536 * C(u)/2 * C(v)/2 * 4 cos cos.
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      for (int j = 0; j < 64; ++j) {
        const double pi = 3.14159265358979323846;
        const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
        const double cv = v == 0 ? std::sqrt(0.5) : 1.0;
        const double exact = 65536.0 * cu * cv * std::cos(pi * u * (2 * (j % 8) + 1) / 16) *
                             std::cos(pi * v * (2 * (j / 8) + 1) / 16);
        EXPECT_NEAR(t.w[v * 8 + u][j], exact, 1.0);
      }
    }
  }
}

TEST(Huffman, GeneratesTheLuminanceDcCodes) {
  const std::array<std::uint8_t, 16> counts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
  const char* expected[] = {"00",   "010",   "011",    "100",     "101",      "110",
                            "1110", "11110", "111110", "1111110", "11111110", "111111110"};
  std::uint16_t codes[12];
  ASSERT_TRUE(generate_codes(counts, codes));
  int n = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < counts[length - 1]; ++i, ++n) {
      std::string bits;
      for (int b = length - 1; b >= 0; --b) bits += ((codes[n] >> b) & 1) ? '1' : '0';
      EXPECT_EQ(bits, expected[n]);
    }
  }
}

TEST(Huffman, RefusesOverSubscribedTables) {
  struct Case {
    std::array<std::uint8_t, 16> counts;
    bool accepted;
  };
  const Case cases[] = {
      {{2}, true},            // 0, 1: full at one bit
      {{3}, false},           // three one-bit codes
      {{1, 2}, true},         // 0, 10, 11
      {{1, 3}, false},        // 0, 10, 11, then 100 does not fit
      {{0, 0, 0, 16}, true},  // every 4-bit code, all-ones included
      {{255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255},
       false},  // 4080 symbols
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255}, true},
  };
  for (const Case& c : cases) {
    auto table = std::make_unique<HuffmanTable>();
    table->counts = c.counts;
    int n = 0;
    for (auto k : c.counts) n += k;
    table->symbol_count = n;
    EXPECT_EQ(build_huffman_table(*table), c.accepted) << int(c.counts[0]) << "," << n;
  }
}

TEST(Kernels, BasisSumMatchesThePlainSumOnRandomBlocks) {
  const auto decoder = std::make_unique<formats::JpegDecoder>();
  const BasisTable& table = decoder->basis();
  std::mt19937 rng(1234);
  const SumKernel kernels[] = {select_sum_kernel(), sum_basis_generic};
  for (int trial = 0; trial < 3000; ++trial) {
    std::int16_t coef[64] = {};
    BlockCoefs block{};
    const int wanted = trial % 65;
    std::vector<int> positions(64);
    for (int i = 0; i < 64; ++i) positions[i] = i;
    std::shuffle(positions.begin(), positions.end(), rng);
    for (int i = 0; i < wanted; ++i) {
      // Mostly small values, sometimes the extremes so that the sums wrap around.
      const int kind = static_cast<int>(rng() % 4);
      int v = kind == 0 ? (rng() % 2 ? 32767 : -32768) : static_cast<int>(rng() % 2001) - 1000;
      if (v == 0) v = 1;
      coef[positions[i]] = static_cast<std::int16_t>(v);
      block.value[block.count] = coef[positions[i]];
      block.pos[block.count++] = static_cast<std::uint8_t>(positions[i]);
    }
    alignas(32) std::int32_t expected[64];
    sum_basis_reference(coef, table, expected);
    for (SumKernel kernel : kernels) {
      alignas(64) std::int32_t got[64];
      kernel(block, table, got);
      ASSERT_TRUE(std::equal(got, got + 64, expected)) << "trial " << trial;
    }
  }
}

TEST(Kernels, ColourConversionMatchesThePixelRule) {
  std::mt19937 rng(99);
  const ColourKernel kernels[] = {select_colour_kernel(), colour_block_generic};
  auto sample = [&rng]() {
    // Samples around the useful range and far outside it, on both sides.
    const int kind = static_cast<int>(rng() % 4);
    if (kind == 0) return static_cast<std::int32_t>(rng());
    return static_cast<std::int32_t>(static_cast<int>(rng() % 400) - 200) * (1 << 18) +
           static_cast<std::int32_t>(rng() % (1 << 18));
  };
  for (int trial = 0; trial < 400; ++trial) {
    alignas(32) std::int32_t luma[64], cb[64], cr[64];
    for (int i = 0; i < 64; ++i) {
      luma[i] = sample();
      cb[i] = sample();
      cr[i] = sample();
    }
    const int h1 = 1 + trial % 2;
    const int v1 = 1 + (trial / 2) % 2;
    for (int by = 0; by < v1; ++by) {
      for (int bx = 0; bx < h1; ++bx) {
        ChromaTerms terms;
        chroma_terms_generic(cb, cr, terms);
        ChromaTerms fast_terms;
        select_chroma_kernel()(cb, cr, fast_terms);
        ASSERT_EQ(std::memcmp(&terms, &fast_terms, sizeof terms), 0);
        const BlockColour block{
            luma, &terms, h1 - 1, v1 - 1, h1 == 2 ? bx * 4 : 0, v1 == 2 ? by * 4 : 0};
        for (ColourKernel kernel : kernels) {
          img::Pixel out[8 * 10] = {};
          kernel(block, out, 10);
          for (int r = 0; r < 8; ++r) {
            for (int c = 0; c < 8; ++c) {
              ASSERT_EQ(out[r * 10 + c], colour_pixel_reference(luma, cb, cr, h1, v1, bx, by, r, c))
                  << "h1 " << h1 << " v1 " << v1 << " block " << bx << "," << by << " pixel " << c
                  << "," << r;
            }
          }
        }
      }
    }
  }
}

TEST(Kernels, GreyConversionMatchesThePixelRuleWithoutColour) {
  std::mt19937 rng(7);
  alignas(32) std::int32_t luma[64], zero[64] = {};
  for (ColourKernel kernel : {select_grey_kernel(), grey_block_generic}) {
    for (int trial = 0; trial < 200; ++trial) {
      for (std::int32_t& v : luma) {
        v = trial % 3 == 0 ? static_cast<std::int32_t>(rng())
                           : static_cast<std::int32_t>(rng() % (1 << 26)) - (1 << 25);
      }
      const BlockColour block{luma, nullptr, 0, 0, 0, 0};
      img::Pixel out[64];
      kernel(block, out, 8);
      for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(out[i], colour_pixel_reference(luma, zero, zero, 1, 1, 0, 0, i / 8, i % 8));
      }
    }
  }
}

TEST(Kernels, ColourRuleExamples) {
  alignas(32) std::int32_t luma[64] = {}, cb[64] = {}, cr[64] = {};
  // Y' = 32768 (a zero sample), Cr = 100, Cb = 0: red 268 clamps to 255, green 56, blue 128.
  for (std::int32_t& v : cr) v = 100 << 18;
  EXPECT_EQ(colour_pixel_reference(luma, cb, cr, 1, 1, 0, 0, 0, 0), img::make_pixel(255, 56, 128));
  // Far below the range gives black, far above white, with no colour difference.
  std::int32_t low[64], high[64], zero[64] = {};
  std::fill(low, low + 64, -(1 << 30));
  std::fill(high, high + 64, 1 << 30);
  EXPECT_EQ(colour_pixel_reference(low, zero, zero, 1, 1, 0, 0, 3, 3), 0u);
  EXPECT_EQ(colour_pixel_reference(high, zero, zero, 1, 1, 0, 0, 3, 3), 0xFFFFFFu);
  // 2 x 2 sampling: colour sample [0][0] covers pixels (0,0), (1,0), (0,1), (1,1) of block 1;
  // [0][4] the first pixels of block 2; [4][0] those of block 3.
  for (int i = 0; i < 64; ++i) cb[i] = i << 18;
  auto blue_diff = [&](int bx, int by, int r, int c) {
    const img::Pixel p = colour_pixel_reference(zero, cb, zero, 2, 2, bx, by, r, c);
    return img::blue_of(p);  // (32768 + 454 * Cb) >> 8, increasing with Cb
  };
  EXPECT_EQ(blue_diff(0, 0, 0, 0), blue_diff(0, 0, 0, 1));
  EXPECT_EQ(blue_diff(0, 0, 0, 0), blue_diff(0, 0, 1, 0));
  EXPECT_EQ(blue_diff(0, 0, 0, 0), blue_diff(0, 0, 1, 1));
  EXPECT_EQ(blue_diff(0, 0, 0, 0), (32768 + 454 * 0) >> 8);
  EXPECT_EQ(blue_diff(1, 0, 0, 0), std::min(255, (32768 + 454 * 4) >> 8));
  EXPECT_EQ(blue_diff(0, 1, 0, 0), std::min(255, (32768 + 454 * 32) >> 8));
}

}  // namespace
}  // namespace formats_test
