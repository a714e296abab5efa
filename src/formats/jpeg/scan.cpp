// Scan decoding: Huffman symbols and values, coefficient blocks with DC prediction, the
// MCU walk with restarts, and placement of each MCU row into the working image.
#include <new>
#include <thread>

#include "formats/jpeg/decoder.h"
#include "formats/jpeg/entropy.h"
#include "formats/jpeg/place.h"
#include "formats/jpeg/zigzag.h"

namespace formats {
namespace jpeg {
namespace {

// Decodes one block's coefficients into `out`, dequantised, with their natural positions.
[[gnu::always_inline]] inline bool decode_block(BitReader& bits, const Tables& tables,
                                                Component& component, const std::uint32_t* steps,
                                                BlockCoefs& out) {
  bits.refill();
  // A DC symbol is the size of the difference that follows it: the AC look-up, run zero.
  std::int32_t diff = 0;
  const int dc_symbol = decode_ac(bits, tables.huffman[component.dc_table], diff);
  if (dc_symbol < 0) {
    out.count = 0;
    return false;
  }
  component.predictor = static_cast<std::int16_t>(component.predictor + diff);
  const auto dc =
      static_cast<std::int16_t>(static_cast<std::int32_t>(steps[0] & 0xFFFF) * component.predictor);
  // The DC coefficient is always listed first, even when zero; so is every AC coefficient
  // received, zeros included: they add nothing to the sum.
  out.value[0] = dc;
  out.pos[0] = 0;
  int count = 1;

  const HuffmanTable& ac = tables.huffman[component.ac_table];
  bool ok = true;
  for (int p = 1;;) {
    bits.refill();
    std::int32_t value = 0;
    const int rs = decode_ac(bits, ac, value);
    if (rs <= 0) {  // end of block, or no code matched
      ok = rs == 0;
      break;
    }
    p += rs >> 4;
    // Past position 63 the steps are zero and what is written there is refused below.
    const std::uint32_t step = steps[p];
    out.value[count] = static_cast<std::int16_t>(static_cast<std::int32_t>(step & 0xFFFF) *
                                                 static_cast<std::int16_t>(value));
    out.pos[count] = static_cast<std::uint8_t>(step >> 16);
    ++count;
    if (++p >= 64) {  // the last coefficient, or a run past it that has nowhere to go
      ok = p == 64;
      break;
    }
  }
  out.count = count;
  return ok;
}

[[gnu::always_inline]] inline int decode_mcus_body(ScanState& state, BlockCoefs* out, int mcus) {
  // A local copy keeps the reader in registers while the blocks go to memory.
  BitReader bits = state.bits;
  const Tables& tables = *state.tables;
  int done = 0;
  for (; done < mcus; ++done) {
    bool ok = true;
    for (int b = 0; b < state.blocks && ok; ++b) {
      ok = decode_block(bits, tables, *state.of[b], state.steps[b].data(), out[b]);
    }
    // A scan that needed bits from beyond the end of the file is cut short.
    if (!ok || bits.overran()) break;
    out += state.blocks;
    if (++state.mcu_counter == state.restart_interval) {
      state.mcu_counter = 0;
      bits.restart();
      for (Component& c : state.tables->components) c.predictor = 0;
    }
  }
  state.bits = bits;
  return done;
}

#if defined(__x86_64__) || defined(__i386__)
// Shifts by a register count without the fixed count register.
__attribute__((target("bmi,bmi2"))) int decode_mcus_bmi2(ScanState& state, BlockCoefs* out,
                                                         int mcus) {
  return decode_mcus_body(state, out, mcus);
}
#endif

}  // namespace

int decode_mcus_generic(ScanState& state, BlockCoefs* out, int mcus) {
  return decode_mcus_body(state, out, mcus);
}

RowDecoder select_row_decoder() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("bmi2")) return decode_mcus_bmi2;
#endif
  return decode_mcus_generic;
}

}  // namespace jpeg

LoadResult JpegDecoder::decode_scan(std::span<const std::uint8_t> file, std::size_t start,
                                    std::uint16_t restart_interval, img::ImageStore& store) {
  jpeg::Tables& t = tables_;
  const int h1 = t.components[1].sampling >> 4;
  const int v1 = t.components[1].sampling & 15;
  const bool colour = t.frame_components > 1;
  for (jpeg::Component& c : t.components) c.predictor = 0;

  jpeg::ScanState state{
      jpeg::BitReader(file.data(), file.size(), start), &t, 0, {}, restart_interval};
  for (int b = 0; b < h1 * v1; ++b) state.of[state.blocks++] = &t.components[1];
  if (colour) {
    state.of[state.blocks++] = &t.components[2];
    state.of[state.blocks++] = &t.components[3];
  }
  for (int b = 0; b < state.blocks; ++b) {
    const auto& quant = t.quant[state.of[b]->quant];
    for (int p = 0; p < 64; ++p) {
      state.steps[b][p] = quant[p] | static_cast<std::uint32_t>(jpeg::kZigzag[p]) << 16;
    }
  }
  const jpeg::McuWriter writer{store.working(), store.maxh, store.maxv, h1, v1, colour, &basis_};
  const std::int32_t width = t.frame_width;
  const std::int32_t height = t.frame_height;
  const int row_mcus = (width + 8 * h1 - 1) / (8 * h1);
  const int rows = (height + 8 * v1 - 1) / (8 * v1);
  if (use_two_threads(width, height)) {
    if (!pipeline_) pipeline_.reset(new (std::nothrow) jpeg::RowPipeline);
    jpeg::RowPipeline::Outcome outcome{};
    if (pipeline_ &&
        pipeline_->run(state, row_decoder_, placer_, writer, rows, row_mcus, 8 * v1, outcome)) {
      if (outcome.damaged) return {platform::Status::kJpegDecodeError};
      return jpeg::finish_load(outcome.stopped, store);
    }
  }

  const std::size_t row_blocks = static_cast<std::size_t>(row_mcus) * state.blocks;
  if (row_.size() < row_blocks) row_.resize(row_blocks);
  for (int r = 0; r < rows; ++r) {
    const int decoded = row_decoder_(state, row_.data(), row_mcus);
    if (!placer_(writer, row_.data(), state.blocks, 0, decoded, r * 8 * v1, scratch_)) {
      return jpeg::finish_load(true, store);
    }
    if (decoded < row_mcus) return {platform::Status::kJpegDecodeError};
  }
  return jpeg::finish_load(false, store);
}

bool JpegDecoder::use_two_threads(std::int32_t width, std::int32_t height) const {
  if (threads_ != 0) return threads_ >= 2;
  // Below about a quarter of a megapixel the hand-over between the threads costs more than
  // it saves.
  static const bool second_core = std::thread::hardware_concurrency() >= 2;
  return second_core && std::int64_t{width} * height >= (1 << 18);
}

}  // namespace formats
