// Reads the entropy-coded bits of a scan, most significant first. A 0xFF byte is always
// followed by a stuffed byte that is skipped unseen; a restart drops the rest of the
// current byte and skips the two marker bytes unchecked. Bits beyond the end of the file
// read as zero and are counted, so the decoder can refuse a scan that used them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace formats::jpeg {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size, std::size_t start)
      : data_(data), size_(size), pos_(start) {}

  // Tops the buffer up to at least 57 bits when it holds fewer than 32.
  void refill() {
    if (count_ >= 32) return;
    if (pos_ + 8 <= size_) {
      std::uint64_t raw;
      std::memcpy(&raw, data_ + pos_, 8);
      const std::uint64_t inverted = ~raw;  // a 0xFF byte becomes a zero byte
      const bool has_ff =
          ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) != 0;
      if (!has_ff) {
        const int n = (63 - count_) >> 3;  // whole bytes that fit
        std::uint64_t next = __builtin_bswap64(raw);
        next &= ~std::uint64_t{0} << (64 - 8 * n);
        acc_ |= next >> count_;
        count_ += 8 * n;
        pos_ += static_cast<std::size_t>(n);
        return;
      }
    }
    refill_bytewise();
  }

  int count() const { return count_; }
  // The next n bits (1 to 32) without taking them.
  std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(acc_ >> (64 - n)); }
  void consume(int n) {
    acc_ <<= n;
    count_ -= n;
  }
  // True once a bit from beyond the end of the file has been taken.
  bool overran() const { return count_ < pad_; }

  void restart() {
    // Go back over the whole bytes still buffered (a 0xFF one also took its stuffed byte),
    // to just after the byte being read; then skip the two marker bytes.
    const int whole = count_ / 8;
    const std::uint64_t bytes = acc_ << (count_ % 8);
    std::size_t back = 0;
    for (int i = 0; i < whole; ++i) {
      const auto b = static_cast<std::uint8_t>(bytes >> (56 - 8 * i));
      back += b == 0xFF ? 2 : 1;  // padding bytes are zero
    }
    pos_ = pos_ - back + 2;
    acc_ = 0;
    count_ = 0;
    pad_ = 0;
  }

 private:
  void refill_bytewise() {
    while (count_ <= 56) {
      std::uint64_t b = 0;
      if (pos_ < size_) {
        b = data_[pos_];
        pos_ += b == 0xFF ? 2 : 1;
      } else {
        pad_ += 8;
        ++pos_;
      }
      acc_ |= b << (56 - count_);
      count_ += 8;
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_;        // next byte to fetch
  std::uint64_t acc_ = 0;  // buffered bits, left-aligned
  int count_ = 0;
  int pad_ = 0;  // bits of zero padding appended past the end of the file
};

}  // namespace formats::jpeg
