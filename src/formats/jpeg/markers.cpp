// The marker loop: walks the segments after the start-of-image marker, reads the tables,
// the frame and the scan header, and hands over to the scan decoder.
#include <algorithm>
#include <cstring>

#include "formats/jpeg/decoder.h"

namespace formats {
namespace {

using platform::Status;

// Reads the segments byte by byte; a read past the end of the file marks the cursor bad.
class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> file, std::size_t pos)
      : file_(file), pos_(pos) {}
  std::uint8_t u8() {
    if (pos_ >= file_.size()) {
      ok_ = false;
      return 0;
    }
    return file_[pos_++];
  }
  std::uint16_t u16() {
    const std::uint16_t high = u8();
    return static_cast<std::uint16_t>((high << 8) | u8());
  }
  void skip(std::size_t n) {
    if (n > file_.size() - std::min(pos_, file_.size())) ok_ = false;
    pos_ = std::min(pos_ + n, file_.size());
  }
  bool ok() const { return ok_; }
  std::size_t pos() const { return pos_; }

 private:
  std::span<const std::uint8_t> file_;
  std::size_t pos_;
  bool ok_ = true;
};

// Quantisation tables: one byte whose low 4 bits name the table (the precision bits are
// ignored), then 64 entries; the running length says whether another table follows.
bool read_quantisation(ByteCursor& in, jpeg::Tables& tables) {
  int running = in.u16();
  for (;;) {
    const int id = in.u8() & 15;
    if (id > 3) return false;
    for (std::uint8_t& q : tables.quant[id]) q = in.u8();
    if (!in.ok()) return false;
    if (running <= 67) return true;
    running -= 65;
  }
}

// Huffman tables; each is checked before it replaces the stored one.
bool read_huffman(ByteCursor& in, jpeg::Tables& tables, jpeg::HuffmanTable& staging) {
  int running = in.u16();
  for (;;) {
    const int b = in.u8();
    const int id = b & 15;
    if (id > 3) return false;
    const int number = id + ((b & 0x10) ? 4 : 0);
    int n = 0;
    for (std::uint8_t& c : staging.counts) {
      c = in.u8();
      n += c;
    }
    if (n > jpeg::kMaxSymbols) return false;
    for (int i = 0; i < n; ++i) staging.symbols[i] = in.u8();
    staging.symbol_count = n;
    if (!in.ok() || !jpeg::build_huffman_table(staging)) return false;
    tables.huffman[number] = staging;
    if (running <= n + 19) return true;
    running -= n + 17;
  }
}

}  // namespace

JpegDecoder::JpegDecoder()
    : sum_kernel_(jpeg::select_sum_kernel()),
      colour_kernel_(jpeg::select_colour_kernel()),
      grey_kernel_(jpeg::select_grey_kernel()) {
  jpeg::build_basis_table(basis_);
  std::memset(&scratch_, 0, sizeof scratch_);
}

void JpegDecoder::use_generic_kernels() {
  sum_kernel_ = jpeg::sum_basis_generic;
  colour_kernel_ = jpeg::colour_block_generic;
  grey_kernel_ = jpeg::grey_block_generic;
}

LoadResult JpegDecoder::decode(std::span<const std::uint8_t> file, img::ImageStore& store) {
  ByteCursor in(file, 2);
  std::uint16_t restart_interval = 0;  // every file starts without restart markers
  bool size_replaced = false;          // the frame header has set the picture size
  bool frame_read = false;             // a whole baseline frame header in this file

  const auto fail = [&]() {
    if (size_replaced) {
      store.width = std::min(store.width, store.maxh);
      store.height = std::min(store.height, store.maxv);
    }
    return LoadResult{Status::kJpegDecodeError, false, size_replaced};
  };

  for (;;) {
    const std::uint8_t first = in.u8();
    const std::uint8_t kind = in.u8();
    if (!in.ok() || first != 0xFF) return fail();
    switch (kind) {
      case 0xD8:  // start of image: nothing to read
        break;
      case 0xD9:  // end of image before any scan
      case 0xC2:  // progressive frames are not decoded
        return fail();
      case 0xDD:  // restart interval; its length field is not used
        in.u16();
        restart_interval = in.u16();
        break;
      case 0xDB:
        if (!read_quantisation(in, tables_)) return fail();
        break;
      case 0xC4:
        if (!read_huffman(in, tables_, staging_)) return fail();
        break;
      case 0xC0: {  // baseline frame; the size takes effect at once
        in.u16();
        in.u8();  // sample precision: always 8 bits here
        const std::uint16_t height = in.u16();
        const std::uint16_t width = in.u16();
        if (!in.ok()) return fail();
        tables_.frame_width = width;
        tables_.frame_height = height;
        store.width = width;
        store.height = height;
        size_replaced = true;
        tables_.frame_components = in.u8();
        for (int i = 0; i < tables_.frame_components; ++i) {
          const int id = in.u8();
          const std::uint8_t sampling = in.u8();
          const std::uint8_t quant = in.u8();
          if (!in.ok() || id < 1 || id > 4 || quant > 3) return fail();
          tables_.components[id].sampling = sampling;
          tables_.components[id].quant = quant;
        }
        if (!in.ok()) return fail();
        frame_read = true;
        break;
      }
      case 0xDA: {  // start of scan; the length and component count are not used
        in.u16();
        const int count = in.u8();
        for (int i = 0; i < count; ++i) {
          const int id = in.u8();
          const int selectors = in.u8();
          if (!in.ok() || id < 1 || id > 4 || (selectors >> 4) > 3 || (selectors & 15) > 3) {
            return fail();
          }
          tables_.components[id].dc_table = static_cast<std::uint8_t>(selectors >> 4);
          tables_.components[id].ac_table = static_cast<std::uint8_t>((selectors & 15) + 4);
        }
        in.skip(3);  // spectral selection and successive approximation
        if (!in.ok() || !frame_read) return fail();
        const int h1 = tables_.components[1].sampling >> 4;
        const int v1 = tables_.components[1].sampling & 15;
        if (h1 < 1 || h1 > 2 || v1 < 1 || v1 > 2) return fail();
        const LoadResult result = decode_scan(file, in.pos(), restart_interval, store);
        if (result.message == Status::kJpegDecodeError) return fail();
        return result;
      }
      default: {  // any other segment is skipped by its length
        const std::uint16_t length = in.u16();
        if (!in.ok() || length < 2) return fail();
        in.skip(length - 2u);
        if (!in.ok()) return fail();
        break;
      }
    }
  }
}

}  // namespace formats
