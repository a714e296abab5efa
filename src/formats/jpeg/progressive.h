// Frames decoded scan by scan (progressive, and extended sequential with any number of
// scans): every block's quantised coefficients are kept until the last scan, then placed
// through the same dequantisation, transform and colour conversion as a single-scan file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/jpeg/place.h"
#include "formats/jpeg/tables.h"
#include "image/image_store.h"

namespace formats::jpeg {

// What a start-of-scan header says besides the tables.
struct ScanHeader {
  int count = 0;                      // components in the scan
  std::array<std::uint8_t, 4> ids{};  // their identifiers, in scan order
  int ss = 0;                         // spectral selection: zigzag positions ss..se
  int se = 63;
  int ah = 0;  // successive approximation: bit position of the previous scan (0: first)
  int al = 0;  // and of this one
};

struct FrameComponent {
  std::uint8_t id;
  std::uint8_t sampling;  // horizontal factor << 4 | vertical factor
  std::uint8_t quant;
};

// True when this decoder handles the frame: 8-bit samples, component 1 alone (its sampling
// factors do not matter), or components 1, 2 and 3 with the colour differences sampled
// once per MCU and luminance factors of 1 or 2.
bool coefficient_frame_supported(int precision, std::span<const FrameComponent> components);

// Where the entropy-coded data that starts at `begin` ends: the first marker other than a
// restart marker, or the end of the file.
std::size_t entropy_data_end(std::span<const std::uint8_t> file, std::size_t begin);

class CoefficientDecoder {
 public:
  // Lays out the frame in `tables` and clears its coefficients. The buffer holds the
  // largest frame a maxh x maxv store takes and is allocated only when a store needs more
  // than it holds. False when that memory cannot be had.
  bool start(const Tables& tables, std::int32_t maxh, std::int32_t maxv, bool progressive);

  // Decodes one scan whose entropy-coded data is file[begin, end). False on a header the
  // frame cannot take (including a coefficient scanned out of turn) or damaged data; the
  // blocks decoded before the fault keep what they received.
  bool decode_scan(std::span<const std::uint8_t> file, std::size_t begin, std::size_t end,
                   const ScanHeader& scan, Tables& tables, std::uint16_t restart_interval);

  // Places every MCU through `writer` (whose h1, v1 and colour must be those of `mcu()`).
  // Returns true when the placement stopped at maxv.
  bool place(const McuWriter& writer, McuPlacer placer, ScanScratch& scratch) const;

  struct McuShape {
    int h1, v1;  // luminance blocks across and down an MCU
    bool colour;
  };
  McuShape mcu() const { return {planes_[0].h, planes_[0].v, components_ == 3}; }

  // Blocks held for a frame of width x height with luminance factors h1 x v1.
  static std::size_t blocks_for(std::int32_t width, std::int32_t height, int h1, int v1,
                                int components);

 private:
  struct Plane {
    std::int16_t* blocks = nullptr;  // rows x cols blocks of 64 coefficients, zigzag order
    std::int32_t cols = 0;           // the grid, in whole MCUs
    std::int32_t rows = 0;
    std::int32_t used_cols = 0;  // the blocks a scan of this component alone covers
    std::int32_t used_rows = 0;
    int h = 1;  // blocks per MCU across and down in an interleaved scan
    int v = 1;
    std::array<std::uint8_t, 64> quant{};  // taken from the tables at the first scan
    bool quant_taken = false;
    // Per coefficient: -1 before its first scan, else the bit position of its last scan.
    std::array<std::int8_t, 64> done{};
    std::int16_t* block(std::int32_t bx, std::int32_t by) const {
      return blocks + (static_cast<std::size_t>(by) * cols + bx) * 64;
    }
  };

  bool accept(const ScanHeader& scan, const Tables& tables);

  img::BigBuffer buffer_;
  std::size_t capacity_ = 0;  // blocks
  std::array<Plane, 3> planes_{};
  int components_ = 0;
  std::int32_t mcu_cols_ = 0;
  std::int32_t mcu_rows_ = 0;
  bool progressive_ = false;
  int scans_ = 0;
};

}  // namespace formats::jpeg
