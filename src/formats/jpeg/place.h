// Placement of a decoded MCU into the working image and the end-of-scan rules, shared by
// the single-scan decoder and the one that reconstructs stored coefficients.
#pragma once

#include <algorithm>
#include <cstdint>

#include "formats/jpeg/color.h"
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
  SumKernel sum;
  ColourKernel convert;
  ChromaKernel chroma;
  const BasisTable* basis;
};

// Writes the MCU whose top-left pixel is (x, y) from its dequantised blocks (luminance
// blocks row by row, then blue and red for colour), using the scratch samples: a block that
// does not fit across is left out; one that crosses maxv stops the scan (false), with the
// blocks before it written.
[[gnu::always_inline]] inline bool place_mcu(const McuWriter& w, const BlockCoefs* mcu,
                                             ScanScratch& s, BlockColour& block, std::int32_t x,
                                             std::int32_t y) {
  bool chroma_ready = false;
  for (int by = 0; by < w.v1; ++by) {
    for (int bx = 0; bx < w.h1; ++bx) {
      const std::int32_t x0 = x + bx * 8;
      const std::int32_t y0 = y + by * 8;
      if (x0 + 8 > w.maxh) continue;
      if (y0 + 8 > w.maxv) return false;
      if (!chroma_ready) {
        if (w.colour) {
          w.sum(mcu[w.h1 * w.v1], *w.basis, s.samples[4]);
          w.sum(mcu[w.h1 * w.v1 + 1], *w.basis, s.samples[5]);
          w.chroma(s.samples[4], s.samples[5], s.chroma);
        }
        block.chroma = &s.chroma;
        chroma_ready = true;
      }
      const int k = by * w.h1 + bx;
      w.sum(mcu[k], *w.basis, s.samples[k]);
      block.luma = s.samples[k];
      block.col0 = w.h1 == 2 ? bx * 4 : 0;
      block.row0 = w.v1 == 2 ? by * 4 : 0;
      w.convert(block, w.plane.row(y0) + x0, w.plane.stride);
    }
  }
  return true;
}

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
