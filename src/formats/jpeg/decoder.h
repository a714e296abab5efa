// The JPEG decoder: baseline files in one pass, extended sequential and progressive ones
// scan by scan. Its tables (quantisation, Huffman, components) persist from one file to the
// next, as the format allows a file to rely on them; the basis table is built once; all
// scratch is held here, so a decode allocates nothing (the coefficient buffer of the
// scan-by-scan frames only at the first such file, or for a larger store).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "formats/jpeg/color.h"
#include "formats/jpeg/huffman.h"
#include "formats/jpeg/idct.h"
#include "formats/jpeg/progressive.h"
#include "formats/jpeg/tables.h"
#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats {

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
  // Puts the tables as another decoder left them: a later file decodes as it would there.
  void set_tables(const jpeg::Tables& tables) { tables_ = tables; }
  // Whether an Exif orientation tag turns the decoded picture upright (on by default).
  void set_upright(bool on) { upright_ = on; }
  // Switches to the portable kernels (tests compare them with the fast ones).
  void use_generic_kernels();

 private:
  LoadResult decode_scan(std::span<const std::uint8_t> file, std::size_t start,
                         std::uint16_t restart_interval, img::ImageStore& store);
  // Places the stored coefficients of a scan-by-scan frame; true when stopped at maxv.
  bool place_coefficients(img::ImageStore& store);

  jpeg::Tables tables_;
  jpeg::HuffmanTable staging_;  // a table being read, installed once it is accepted
  jpeg::BasisTable basis_;
  jpeg::ScanScratch scratch_;
  jpeg::SumKernel sum_kernel_;
  jpeg::ColourKernel colour_kernel_;
  jpeg::ColourKernel grey_kernel_;
  jpeg::CoefficientDecoder coefficients_;
  bool upright_ = true;
};

}  // namespace formats
