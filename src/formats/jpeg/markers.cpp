// The marker loop: walks the segments after the start-of-image marker, reads the tables,
// the frame and the scan header, and hands over to the scan decoder.
#include <algorithm>
#include <cstring>

#include "formats/exif.h"
#include "formats/jpeg/decoder.h"
#include "formats/jpeg/marker_codes.h"
#include "image/orient.h"

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
  void seek(std::size_t pos) { pos_ = std::min(pos, file_.size()); }

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

enum class FrameRead { kAccepted, kRefused, kTooLarge };

// An extended sequential or progressive frame header. Nothing changes unless the frame is
// whole, one the scan-by-scan decoder handles and no larger than the store.
FrameRead read_coefficient_frame(ByteCursor& in, jpeg::Tables& tables, img::ImageStore& store) {
  in.u16();
  const int precision = in.u8();
  const std::uint16_t height = in.u16();
  const std::uint16_t width = in.u16();
  const int count = in.u8();
  if (count != 1 && count != 3) return FrameRead::kRefused;
  std::array<jpeg::FrameComponent, 3> components{};
  for (int i = 0; i < count; ++i) components[i] = {in.u8(), in.u8(), in.u8()};
  const std::span<const jpeg::FrameComponent> read(components.data(), count);
  if (!in.ok() || !jpeg::coefficient_frame_supported(precision, read)) return FrameRead::kRefused;
  if (width > store.maxh || height > store.maxv) return FrameRead::kTooLarge;
  tables.frame_width = width;
  tables.frame_height = height;
  tables.frame_components = static_cast<std::uint8_t>(count);
  for (const jpeg::FrameComponent& c : read) {
    tables.components[c.id].sampling = c.sampling;
    tables.components[c.id].quant = c.quant;
  }
  store.width = width;
  store.height = height;
  return FrameRead::kAccepted;
}

}  // namespace

JpegDecoder::JpegDecoder()
    : placer_(jpeg::select_placer()), row_decoder_(jpeg::select_row_decoder()) {
  jpeg::build_basis_table(basis_);
  std::memset(&scratch_, 0, sizeof scratch_);
}

void JpegDecoder::use_generic_kernels() {
  placer_ = jpeg::place_mcus_generic;
  row_decoder_ = jpeg::decode_mcus_generic;
}

LoadResult JpegDecoder::decode(std::span<const std::uint8_t> file, img::ImageStore& store) {
  ByteCursor in(file, 2);
  std::uint16_t restart_interval = 0;  // every file starts without restart markers
  bool size_replaced = false;          // the frame header has set the picture size
  enum class Frame { kNone, kBaseline, kSequential, kProgressive };
  Frame frame = Frame::kNone;  // the last whole frame header of this file
  bool scans_begun = false;    // coefficients stored by a scan of a scan-by-scan frame
  int orientation = 1;         // from the first Exif block that has one

  // A size set by a frame header of this file stays inside the store when the load ends early.
  const auto limit_size = [&]() {
    if (size_replaced) {
      store.width = std::min(store.width, store.maxh);
      store.height = std::min(store.height, store.maxv);
    }
  };
  // What the scans of a scan-by-scan frame gave is shown even when a later part fails.
  const auto fail = [&]() {
    if (scans_begun) place_coefficients(store);
    limit_size();
    return LoadResult{Status::kJpegDecodeError, false, size_replaced};
  };

  // A whole picture is turned upright when its Exif block says so.
  const auto upright = [&](LoadResult result) {
    if (upright_ && result.message == Status::kFileLoaded) {
      const Status turned = img::orient_picture(store, orientation);
      if (turned != Status::kNone) result.message = turned;
    }
    return result;
  };

  for (;;) {
    const std::uint8_t first = in.u8();
    const std::uint8_t kind = in.u8();
    if (!in.ok() || first != marker::kPrefix) return fail();
    switch (kind) {
      case marker::kStartOfImage:  // start of image: nothing to read
        break;
      case marker::kEndOfImage:  // end of image: of a scan-by-scan frame, or before any scan
        if (!scans_begun) return fail();
        return upright(jpeg::finish_load(place_coefficients(store), store));
      case marker::kRestartInterval:  // restart interval; its length field is not used
        in.u16();
        restart_interval = in.u16();
        break;
      case marker::kQuantisationTables:
        if (!read_quantisation(in, tables_)) return fail();
        break;
      case marker::kHuffmanTables:
        if (!read_huffman(in, tables_, staging_)) return fail();
        break;
      case marker::kBaselineFrame: {  // baseline frame; the size takes effect at once
        if (scans_begun) return fail();
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
        frame = Frame::kBaseline;
        break;
      }
      case marker::kExtendedFrame:  // 8-bit Huffman scans in any number
      case marker::kProgressiveFrame: {
        if (scans_begun) return fail();
        const FrameRead read = read_coefficient_frame(in, tables_, store);
        if (read == FrameRead::kTooLarge) {  // refused before anything changes
          limit_size();                      // but an earlier frame header may have set the size
          return {Status::kSizeTooLarge, false};
        }
        if (read == FrameRead::kRefused) return fail();
        size_replaced = true;
        frame = kind == marker::kExtendedFrame ? Frame::kSequential : Frame::kProgressive;
        break;
      }
      case marker::kStartOfScan: {  // start of scan; the length is not used
        in.u16();
        jpeg::ScanHeader scan;
        scan.count = in.u8();
        for (int i = 0; i < scan.count; ++i) {
          const int id = in.u8();
          const int selectors = in.u8();
          if (!in.ok() || id < 1 || id > 4 || (selectors >> 4) > 3 || (selectors & 15) > 3) {
            return fail();
          }
          tables_.components[id].dc_table = static_cast<std::uint8_t>(selectors >> 4);
          tables_.components[id].ac_table = static_cast<std::uint8_t>((selectors & 15) + 4);
          if (i < 4) scan.ids[i] = static_cast<std::uint8_t>(id);
        }
        scan.ss = in.u8();
        scan.se = in.u8();
        const int approximation = in.u8();
        scan.ah = approximation >> 4;
        scan.al = approximation & 15;
        if (!in.ok() || frame == Frame::kNone) return fail();
        if (frame == Frame::kBaseline) {
          const int h1 = tables_.components[1].sampling >> 4;
          const int v1 = tables_.components[1].sampling & 15;
          if (h1 < 1 || h1 > 2 || v1 < 1 || v1 > 2) return fail();
          const LoadResult result = decode_scan(file, in.pos(), restart_interval, store);
          if (result.message == Status::kJpegDecodeError) return fail();
          return upright(result);
        }
        if (!scans_begun) {
          if (!coefficients_.start(tables_, store.maxh, store.maxv, frame == Frame::kProgressive)) {
            return fail();
          }
          scans_begun = true;
        }
        const std::size_t end = jpeg::entropy_data_end(file, in.pos());
        if (!coefficients_.decode_scan(file, in.pos(), end, scan, tables_, restart_interval)) {
          return fail();
        }
        in.seek(end);
        break;
      }
      case marker::kApplication1: {  // may hold the Exif block with the orientation tag
        const std::uint16_t length = in.u16();
        if (!in.ok() || length < 2) return fail();
        const std::size_t start = in.pos();
        in.skip(length - 2u);
        if (!in.ok()) return fail();
        if (orientation == 1) orientation = exif_orientation(file.subspan(start, length - 2u));
        break;
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

bool JpegDecoder::place_coefficients(img::ImageStore& store) {
  const auto shape = coefficients_.mcu();
  const jpeg::McuWriter writer{store.working(), store.maxh,   store.maxv, shape.h1,
                               shape.v1,        shape.colour, &basis_};
  return coefficients_.place(writer, placer_, scratch_);
}

}  // namespace formats
