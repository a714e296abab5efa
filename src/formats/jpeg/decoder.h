// The JPEG decoder: baseline files in one pass, extended sequential and progressive ones
// scan by scan. Its tables (quantisation, Huffman, components) persist from one file to the
// next, as the format allows a file to rely on them; the basis table is built once; all
// scratch is held here, so a decode allocates nothing once it has what it needs (the row of
// coefficient blocks, the two-thread ring and its worker at the first frame that needs more,
// the coefficient buffer of the scan-by-scan frames at the first such file or larger store).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "formats/jpeg/color.h"
#include "formats/jpeg/entropy.h"
#include "formats/jpeg/huffman.h"
#include "formats/jpeg/idct.h"
#include "formats/jpeg/progressive.h"
#include "formats/jpeg/row_pipeline.h"
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
  // Threads for a single-scan frame: 1, 2, or 0 for two when the machine has a second core
  // and the picture is large enough to gain from it (the default). The picture is the same.
  void set_threads(int threads) { threads_ = threads; }

 private:
  LoadResult decode_scan(std::span<const std::uint8_t> file, std::size_t start,
                         std::uint16_t restart_interval, img::ImageStore& store);
  bool use_two_threads(std::int32_t width, std::int32_t height) const;
  // Places the stored coefficients of a scan-by-scan frame; true when stopped at maxv.
  bool place_coefficients(img::ImageStore& store);

  jpeg::Tables tables_;
  jpeg::HuffmanTable staging_;  // a table being read, installed once it is accepted
  jpeg::BasisTable basis_;
  jpeg::ScanScratch scratch_;
  jpeg::McuPlacer placer_;
  jpeg::RowDecoder row_decoder_;
  std::vector<jpeg::BlockCoefs> row_;  // one MCU row of a single-scan frame, kept between files
  std::unique_ptr<jpeg::RowPipeline> pipeline_;  // made at the first two-thread decode
  int threads_ = 0;
  jpeg::CoefficientDecoder coefficients_;
  bool upright_ = true;
};

}  // namespace formats
