// Builds JPEG files segment by segment for the decoder tests, with an entropy coder over
// two simple tables: a DC table whose 16 symbols all have 4-bit codes (code = symbol) and
// an AC table whose 256 symbols all have 8-bit codes (code = symbol). Blocks are given as
// quantised coefficients, so every decoded sample can be worked out by hand.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace formats_test {

struct BlockSpec {
  int dc_diff = 0;                      // difference to the DC predictor
  std::vector<std::pair<int, int>> ac;  // (zigzag position 1..63, value), increasing
  bool end_of_block = true;             // false when position 63 is filled
};

class JpegBuilder {
 public:
  std::vector<std::uint8_t> bytes{0xFF, 0xD8};

  void raw(std::initializer_list<int> b) {
    for (int v : b) bytes.push_back(static_cast<std::uint8_t>(v));
  }
  void u16(int v) { raw({(v >> 8) & 0xFF, v & 0xFF}); }

  // One quantisation segment holding the given tables (id, 64 entries each).
  void dqt(const std::vector<std::pair<int, std::vector<int>>>& tables) {
    raw({0xFF, 0xDB});
    u16(2 + 65 * static_cast<int>(tables.size()));
    for (const auto& [id, q] : tables) {
      raw({id});
      for (int v : q) raw({v});
    }
  }
  static std::vector<int> flat_quant(int v) { return std::vector<int>(64, v); }

  struct Huffman {
    int klass;  // 0 DC, 1 AC
    int id;
    std::vector<int> counts;  // 16
    std::vector<int> symbols;
  };
  static Huffman dc_table(int id) {
    Huffman h{0, id, std::vector<int>(16, 0), {}};
    h.counts[3] = 16;
    for (int s = 0; s < 16; ++s) h.symbols.push_back(s);
    return h;
  }
  static Huffman ac_table(int id) {
    Huffman h{1, id, std::vector<int>(16, 0), {}};
    // 255 symbols fit in the count byte; symbol 0xFF (run 15, size 15) is never used.
    h.counts[7] = 255;
    for (int s = 0; s < 255; ++s) h.symbols.push_back(s);
    return h;
  }
  void dht(const std::vector<Huffman>& tables) {
    int length = 2;
    for (const Huffman& h : tables) length += 17 + static_cast<int>(h.symbols.size());
    raw({0xFF, 0xC4});
    u16(length);
    for (const Huffman& h : tables) {
      raw({(h.klass << 4) | h.id});
      for (int c : h.counts) raw({c});
      for (int s : h.symbols) raw({s});
    }
  }
  void standard_tables() { dht({dc_table(0), ac_table(0)}); }

  struct FrameComponent {
    int id, sampling, quant;
  };
  void sof(int marker, int width, int height, const std::vector<FrameComponent>& comps) {
    raw({0xFF, marker});
    u16(8 + 3 * static_cast<int>(comps.size()));
    raw({8});
    u16(height);
    u16(width);
    raw({static_cast<int>(comps.size())});
    for (const auto& c : comps) raw({c.id, c.sampling, c.quant});
  }
  void sof0(int width, int height, const std::vector<FrameComponent>& comps) {
    sof(0xC0, width, height, comps);
  }
  void dri(int interval) {
    raw({0xFF, 0xDD});
    u16(4);
    u16(interval);
  }
  // Scan header with every component on DC table 0 and AC table 0.
  void sos(const std::vector<int>& ids) {
    raw({0xFF, 0xDA});
    u16(6 + 2 * static_cast<int>(ids.size()));
    raw({static_cast<int>(ids.size())});
    for (int id : ids) raw({id, 0x00});
    raw({0, 63, 0});
  }

  // Entropy coding with the two simple tables.
  void put_bits(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc_ = (acc_ << 1) | ((value >> i) & 1);
      if (++bits_ == 8) emit_byte();
    }
  }
  static int size_of(int v) {
    int a = v < 0 ? -v : v;
    int s = 0;
    while (a) {
      ++s;
      a >>= 1;
    }
    return s;
  }
  void put_value(int v) {
    const int s = size_of(v);
    if (s) put_bits(static_cast<std::uint32_t>(v < 0 ? v + (1 << s) - 1 : v), s);
  }
  void block(const BlockSpec& b) {
    put_bits(static_cast<std::uint32_t>(size_of(b.dc_diff)), 4);
    put_value(b.dc_diff);
    int p = 1;
    for (const auto& [pos, value] : b.ac) {
      int run = pos - p;
      while (run > 15) {
        put_bits(0xF0, 8);
        run -= 16;
      }
      put_bits(static_cast<std::uint32_t>((run << 4) | size_of(value)), 8);
      put_value(value);
      p = pos + 1;
    }
    if (b.end_of_block) put_bits(0x00, 8);
  }
  // Pads the last byte with 1 bits, as encoders do.
  void flush_bits() {
    while (bits_ != 0) put_bits(1, 1);
  }
  void restart_marker(int n) {
    flush_bits();
    raw({0xFF, 0xD0 + (n & 7)});
  }
  void eoi() {
    flush_bits();
    raw({0xFF, 0xD9});
  }

 private:
  void emit_byte() {
    bytes.push_back(static_cast<std::uint8_t>(acc_));
    if ((acc_ & 0xFF) == 0xFF) bytes.push_back(0x00);
    acc_ = 0;
    bits_ = 0;
  }
  std::uint32_t acc_ = 0;
  int bits_ = 0;
};

}  // namespace formats_test
