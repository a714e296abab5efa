// The baseline JPEG decoder. Its tables (quantisation, Huffman, components) persist from
// one file to the next, as the format allows a file to rely on them; the basis table is
// built once; all scratch is held here, so a decode allocates nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "formats/jpeg/color.h"
#include "formats/jpeg/huffman.h"
#include "formats/jpeg/idct.h"
#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {
namespace jpeg {

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

// Coefficients and samples of the six block slots of an MCU: 0..3 luminance, 4 blue and
// 5 red colour difference.
struct alignas(64) ScanScratch {
  std::int32_t samples[6][64];
  std::int32_t zero[64];     // colour differences of a grey picture
  std::int16_t coef[6][64];  // dequantised, natural order; zero outside `nonzero`
  std::uint8_t nonzero[6][64];
  int nonzero_count[6];
};

}  // namespace jpeg

class JpegDecoder {
 public:
  JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Decodes `file` (the whole file, starting 0xFF 0xD8) into store.working(). Sets
  // store.width/height at the frame header and limits them to maxh/maxv on failure. A
  // picture whose Exif block says it is stored turned is turned upright (see set_upright);
  // when the upright picture does not fit the store it stays as stored, "size is too large".
  LoadResult decode(std::span<const std::uint8_t> file, img::ImageStore& store);

  const jpeg::BasisTable& basis() const { return basis_; }
  const jpeg::Tables& tables() const { return tables_; }
  // Whether an Exif orientation tag turns the decoded picture upright (on by default).
  void set_upright(bool on) { upright_ = on; }
  // Switches to the portable kernels (tests compare them with the fast ones).
  void use_generic_kernels();

 private:
  LoadResult decode_scan(std::span<const std::uint8_t> file, std::size_t start,
                         std::uint16_t restart_interval, img::ImageStore& store);

  jpeg::Tables tables_;
  jpeg::HuffmanTable staging_;  // a table being read, installed once it is accepted
  jpeg::BasisTable basis_;
  jpeg::ScanScratch scratch_;
  jpeg::SumKernel sum_kernel_;
  jpeg::ColourKernel colour_kernel_;
  jpeg::ColourKernel grey_kernel_;
  bool upright_ = true;
};

}  // namespace formats
