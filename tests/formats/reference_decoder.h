// A straightforward baseline JPEG decoder for the tests: the bit reader with its 4096-byte
// chunks, the code search length by length, the full basis sum per block and the colour
// rule pixel by pixel, written as plainly as possible. It is the oracle for the fast
// decoder on every file that the fast decoder accepts.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "formats/jpeg/color.h"
#include "formats/jpeg/idct.h"
#include "formats/jpeg/zigzag.h"
#include "image/image_store.h"
#include "platform/status.h"

namespace formats_test {

class ReferenceDecoder {
 public:
  ReferenceDecoder() { formats::jpeg::build_basis_table(basis_); }

  platform::Status decode(std::span<const std::uint8_t> file, img::ImageStore& store) {
    file_ = file;
    pos_ = 2;
    restart_interval_ = 0;
    bool frame = false;
    for (;;) {
      for (auto& c : comp_) c.predictor = 0;
      if (pos_ + 2 > file_.size() || byte() != 0xFF) return fail(store, frame);
      const int kind = byte();
      if (kind == 0xD8) continue;
      if (kind == 0xD9 || kind == 0xC2) return fail(store, frame);
      if (kind == 0xDD) {
        word();
        restart_interval_ = word();
      } else if (kind == 0xDB) {
        int running = word();
        for (;;) {
          const int id = byte() & 15;
          if (id > 3) return fail(store, frame);
          for (auto& q : quant_[id]) q = static_cast<std::uint8_t>(byte());
          if (running <= 67) break;
          running -= 65;
        }
      } else if (kind == 0xC4) {
        int running = word();
        for (;;) {
          const int b = byte();
          if ((b & 15) > 3) return fail(store, frame);
          Table& t = huff_[(b & 15) + ((b & 0x10) ? 4 : 0)];
          int n = 0;
          for (auto& c : t.counts) n += (c = static_cast<std::uint8_t>(byte()));
          t.symbols.resize(n);
          for (auto& s : t.symbols) s = static_cast<std::uint8_t>(byte());
          t.codes.clear();
          unsigned code = 0;
          for (int length = 1; length <= 16; ++length) {
            for (int i = 0; i < t.counts[length - 1]; ++i) t.codes.push_back(code++);
            code <<= 1;
          }
          if (running <= n + 19) break;
          running -= n + 17;
        }
      } else if (kind == 0xC0) {
        word();
        byte();
        height_ = word();
        width_ = word();
        store.width = width_;
        store.height = height_;
        frame = true;
        nf_ = byte();
        for (int i = 0; i < nf_; ++i) {
          const int id = byte();
          if (id < 1 || id > 4) return fail(store, frame);
          comp_[id].sampling = byte();
          comp_[id].quant = byte();
        }
      } else if (kind == 0xDA) {
        word();
        const int n = byte();
        for (int i = 0; i < n; ++i) {
          const int id = byte();
          const int t = byte();
          if (id < 1 || id > 4) return fail(store, frame);
          comp_[id].dc = t >> 4;
          comp_[id].ac = (t & 15) + 4;
        }
        pos_ += 3;
        return scan(store, frame);
      } else {
        const int n = word();
        pos_ += static_cast<std::size_t>(n - 2);
      }
    }
  }

 private:
  struct Table {
    std::uint8_t counts[16] = {};
    std::vector<std::uint8_t> symbols;
    std::vector<unsigned> codes;
  };
  struct Comp {
    int sampling = 0, quant = 0, dc = 0, ac = 4;
    std::int16_t predictor = 0;
  };

  int byte() { return pos_ < file_.size() ? file_[pos_++] : (pos_++, 0); }
  int word() {
    const int high = byte();
    return (high << 8) | byte();
  }
  platform::Status fail(img::ImageStore& store, bool frame) {
    if (frame) {
      store.width = std::min(store.width, store.maxh);
      store.height = std::min(store.height, store.maxv);
    }
    return platform::Status::kJpegDecodeError;
  }

  int get_bit() {
    if (bits_left_ == 0) {
      if (read_index_ > 4095) {
        for (int i = 0; i < 4096 && pos_ < file_.size(); ++i) entropy_[i] = file_[pos_++];
        read_index_ -= 4096;
      }
      current_ = entropy_[read_index_];
      bits_left_ = 8;
      ++read_index_;
      if (current_ == 0xFF) ++read_index_;
    }
    const int bit = current_ >> 7;
    current_ = static_cast<std::uint8_t>(current_ << 1);
    --bits_left_;
    return bit;
  }
  // Returns false when no code matches.
  bool decode_value(int t, int& symbol, int& value) {
    const Table& table = huff_[t];
    unsigned code = 0;
    int n = 0;
    for (int length = 1; length <= 16; ++length) {
      code = code * 2 + static_cast<unsigned>(get_bit());
      for (int i = 0; i < table.counts[length - 1]; ++i, ++n) {
        if (code == table.codes[n]) {
          symbol = table.symbols[n];
          const int s = symbol & 15;
          int m = 0;
          for (int k = 0; k < s; ++k) m = m * 2 + get_bit();
          value = s == 0 ? 0 : ((m >> (s - 1)) ? m : m - ((1 << s) - 1));
          return true;
        }
      }
    }
    return false;
  }
  bool block(int c, std::int32_t* samples) {
    std::int16_t coef[64] = {};
    int symbol = 0, value = 0;
    if (!decode_value(comp_[c].dc, symbol, value)) return false;
    comp_[c].predictor = static_cast<std::int16_t>(comp_[c].predictor + value);
    coef[0] = comp_[c].predictor;
    for (int p = 1; p < 64;) {
      if (!decode_value(comp_[c].ac, symbol, value)) return false;
      if (symbol == 0) break;
      p += symbol >> 4;
      if (p > 63) return false;
      coef[p++] = static_cast<std::int16_t>(value);
    }
    std::int16_t natural[64] = {};
    for (int i = 0; i < 64; ++i) {
      natural[formats::jpeg::kZigzag[i]] =
          static_cast<std::int16_t>(quant_[comp_[c].quant][i] * coef[i]);
    }
    formats::jpeg::sum_basis_reference(natural, basis_, samples);
    return true;
  }

  platform::Status scan(img::ImageStore& store, bool frame) {
    const int h1 = comp_[1].sampling >> 4, v1 = comp_[1].sampling & 15;
    if (!frame || h1 < 1 || h1 > 2 || v1 < 1 || v1 > 2) return fail(store, frame);
    bits_left_ = 0;
    read_index_ = 4096;
    int counter = 0;
    bool stopped = false;
    std::int32_t slots[6][64] = {};
    for (int y = 0; y <= height_ - 1 && !stopped; y += 8 * v1) {
      for (int x = 0; x <= width_ - 1 && !stopped; x += 8 * h1) {
        for (int b = 0; b < h1 * v1; ++b) {
          if (!block(1, slots[b])) return fail(store, frame);
        }
        if (nf_ > 1 && (!block(2, slots[4]) || !block(3, slots[5]))) return fail(store, frame);
        if (nf_ <= 1) {
          std::memset(slots[4], 0, sizeof slots[4]);
          std::memset(slots[5], 0, sizeof slots[5]);
        }
        for (int by = 0; by < v1 && !stopped; ++by) {
          for (int bx = 0; bx < h1; ++bx) {
            const int x0 = x + bx * 8, y0 = y + by * 8;
            if (x0 + 8 > store.maxh) continue;
            if (y0 + 8 > store.maxv) {
              stopped = true;
              break;
            }
            for (int r = 0; r < 8; ++r) {
              for (int c = 0; c < 8; ++c) {
                store.working().at(x0 + c, y0 + r) = formats::jpeg::colour_pixel_reference(
                    slots[by * h1 + bx], slots[4], slots[5], h1, v1, bx, by, r, c);
              }
            }
          }
        }
        if (stopped) break;
        if (++counter == restart_interval_) {
          counter = 0;
          bits_left_ = 0;
          read_index_ += 2;
          for (auto& c : comp_) c.predictor = 0;
        }
      }
    }
    platform::Status m = platform::Status::kFileLoaded;
    if (stopped) {
      m = platform::Status::kSizeTooLarge;
      store.height = store.maxv;
    }
    if (store.width >= store.maxh) {
      m = platform::Status::kSizeTooLarge;
      store.width = store.maxh;
    }
    store.height = std::min(store.height, store.maxv);
    return m;
  }

  std::span<const std::uint8_t> file_;
  std::size_t pos_ = 0;
  int restart_interval_ = 0;
  std::uint8_t quant_[4][64] = {};
  Table huff_[8];
  Comp comp_[5];
  int nf_ = 0, width_ = 0, height_ = 0;
  std::uint8_t entropy_[4096 + 8] = {};
  int read_index_ = 4096;
  std::uint8_t current_ = 0;
  int bits_left_ = 0;
  formats::jpeg::BasisTable basis_;
};

}  // namespace formats_test
