// Scan decoding: Huffman symbols and values, coefficient blocks with DC prediction, the
// MCU walk with restarts, and placement of each MCU into the working image.
#include <algorithm>

#include "formats/jpeg/decoder.h"
#include "formats/jpeg/entropy.h"
#include "formats/jpeg/place.h"
#include "formats/jpeg/zigzag.h"

namespace formats {
namespace {

using platform::Status;

// Decodes one block's coefficients into `out`, dequantised, with their natural positions.
[[gnu::always_inline]] inline bool decode_block_bits(jpeg::BitReader& bits,
                                                     const jpeg::Tables& tables,
                                                     jpeg::Component& component,
                                                     jpeg::BlockCoefs& out) {
  const std::uint8_t* quant = tables.quant[component.quant].data();
  bits.refill();
  // A DC symbol is the size of the difference that follows it: the AC look-up, run zero.
  std::int32_t diff = 0;
  const int dc_symbol = jpeg::decode_ac(bits, tables.huffman[component.dc_table], diff);
  if (dc_symbol < 0) {
    out.count = 0;
    return false;
  }
  component.predictor = static_cast<std::int16_t>(component.predictor + diff);
  const auto dc = static_cast<std::int16_t>(quant[0] * component.predictor);
  out.value[0] = dc;
  out.pos[0] = 0;
  int count = dc != 0;

  const jpeg::HuffmanTable& ac = tables.huffman[component.ac_table];
  bool ok = true;
  for (int p = 1; p < 64; ++p) {
    bits.refill();
    std::int32_t value = 0;
    const int rs = jpeg::decode_ac(bits, ac, value);
    if (rs <= 0) {  // end of block, or no code matched
      ok = rs == 0;
      break;
    }
    p += rs >> 4;
    if (p > 63) {  // a run past the last coefficient has nowhere to go
      ok = false;
      break;
    }
    // A zero value (the sixteen-zero run) is written and then written over.
    const auto f = static_cast<std::int16_t>(quant[p] * static_cast<std::int16_t>(value));
    out.value[count] = f;
    out.pos[count] = jpeg::kZigzag[p];
    count += f != 0;
  }
  out.count = count;
  return ok;
}

inline bool decode_block(jpeg::BitReader& reader, const jpeg::Tables& tables,
                         jpeg::Component& component, jpeg::BlockCoefs& out) {
  // A local copy keeps the reader in registers while the block's stores go to memory.
  jpeg::BitReader bits = reader;
  const bool ok = decode_block_bits(bits, tables, component, out);
  reader = bits;
  return ok;
}

}  // namespace

LoadResult JpegDecoder::decode_scan(std::span<const std::uint8_t> file, std::size_t start,
                                    std::uint16_t restart_interval, img::ImageStore& store) {
  jpeg::Tables& t = tables_;
  jpeg::ScanScratch& s = scratch_;
  const int h1 = t.components[1].sampling >> 4;
  const int v1 = t.components[1].sampling & 15;
  const bool colour = t.frame_components > 1;
  for (jpeg::Component& c : t.components) c.predictor = 0;

  jpeg::BitReader bits(file.data(), file.size(), start);
  const jpeg::McuWriter writer{store.working(),
                               store.maxh,
                               store.maxv,
                               h1,
                               v1,
                               colour,
                               sum_kernel_,
                               colour ? colour_kernel_ : grey_kernel_,
                               &basis_};
  const std::int32_t width = t.frame_width;
  const std::int32_t height = t.frame_height;
  int mcu_counter = 0;
  bool stopped = false;

  jpeg::BlockColour block{};
  block.h_shift = h1 - 1;
  block.v_shift = v1 - 1;

  for (std::int32_t y = 0; y <= height - 1 && !stopped; y += 8 * v1) {
    for (std::int32_t x = 0; x <= width - 1; x += 8 * h1) {
      for (int b = 0; b < h1 * v1; ++b) {
        if (!decode_block(bits, t, t.components[1], s.blocks[b])) return {Status::kJpegDecodeError};
      }
      if (colour && (!decode_block(bits, t, t.components[2], s.blocks[4]) ||
                     !decode_block(bits, t, t.components[3], s.blocks[5]))) {
        return {Status::kJpegDecodeError};
      }
      // A scan that needed bits from beyond the end of the file is cut short.
      if (bits.overran()) return {Status::kJpegDecodeError};

      if (!jpeg::place_mcu(writer, s, block, x, y)) {
        stopped = true;
        break;
      }

      if (++mcu_counter == restart_interval) {
        mcu_counter = 0;
        bits.restart();
        for (jpeg::Component& c : t.components) c.predictor = 0;
      }
    }
  }

  return jpeg::finish_load(stopped, store);
}

}  // namespace formats
