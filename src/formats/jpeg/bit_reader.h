// Reads the entropy-coded bits of a scan, most significant first. A 0xFF byte is always
// followed by a stuffed byte that is skipped unseen; a restart drops the rest of the
// current byte and skips the two marker bytes unchecked. Bits beyond the end of the file
// read as zero and are counted, so the decoder can refuse a scan that used them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace formats::jpeg {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size, std::size_t start)
      : data_(data), size_(size), pos_(start) {
    after_[(taken_ - 1) & kRingMask] = start;
  }

  // Tops the buffer up to at least 57 bits.
  void refill() {
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
      after_[taken_++ & kRingMask] = pos_;
    }
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
    // The byte being read is the one fetched before the whole bytes still buffered.
    const std::size_t next =
        after_[(taken_ - 1 - static_cast<std::uint32_t>(count_ / 8)) & kRingMask];
    pos_ = next + 2;
    acc_ = 0;
    count_ = 0;
    pad_ = 0;
    after_[taken_++ & kRingMask] = pos_;
  }

 private:
  static constexpr std::uint32_t kRingMask = 15;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_;        // next byte to fetch
  std::uint64_t acc_ = 0;  // buffered bits, left-aligned
  int count_ = 0;
  int pad_ = 0;  // bits of zero padding appended past the end of the file
  // after_[n & 15]: the fetch position after the n-th byte fetched (stuffing included).
  std::uint32_t taken_ = 16;
  std::size_t after_[16] = {};
};

}  // namespace formats::jpeg
