// Placement of a decoded MCU into the working image and the end-of-scan rules, shared by
// the single-scan decoder and the one that reconstructs stored coefficients.
#pragma once

#include <algorithm>
#include <cstdint>

#include "formats/jpeg/idct.h"
#include "formats/jpeg/tables.h"
#include "formats/load_result.h"
#include "image/image_store.h"

namespace formats::jpeg {

struct McuWriter {
  img::Plane plane;
  std::int32_t maxh;
  std::int32_t maxv;
  int h1;  // luminance blocks across and down an MCU
  int v1;
  bool colour;
  const BasisTable* basis;
};

// Writes `count` MCUs of one MCU row, from MCU `first` of the row on, whose top edge is at
// y. Their dequantised blocks are in `mcus`, `blocks` to an MCU: luminance blocks row by
// row, then blue and red for colour. A block that does not fit across is left out; one
// that crosses maxv stops the scan (false), with the blocks before it written. The scratch
// holds the samples on the way.
using McuPlacer = bool (*)(const McuWriter& w, const BlockCoefs* mcus, int blocks, int first,
                           int count, std::int32_t y, ScanScratch& s);

// The fastest version this processor runs, and the portable one.
McuPlacer select_placer();
bool place_mcus_generic(const McuWriter& w, const BlockCoefs* mcus, int blocks, int first,
                        int count, std::int32_t y, ScanScratch& s);

// The outcome of a load whose blocks were all placed, or that stopped at maxv.
inline LoadResult finish_load(bool stopped, img::ImageStore& store) {
  LoadResult result{platform::Status::kFileLoaded, true};
  if (stopped) {
    result.message = platform::Status::kSizeTooLarge;
    store.height = store.maxv;
  }
  if (store.width >= store.maxh) {
    result.message = platform::Status::kSizeTooLarge;
    store.width = store.maxh;
  }
  store.height = std::min(store.height, store.maxv);
  return result;
}

}  // namespace formats::jpeg
