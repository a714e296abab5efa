#include "formats/jpeg/kernel_bodies.h"
#include "formats/jpeg/place.h"

namespace formats::jpeg {
namespace {

[[gnu::always_inline]] inline bool place_body(const McuWriter& w, const BlockCoefs* mcus,
                                              int blocks, int first, int count, std::int32_t y,
                                              ScanScratch& s) {
  BlockColour block{};
  block.chroma = &s.chroma;
  block.h_shift = w.h1 - 1;
  block.v_shift = w.v1 - 1;
  const int luma_blocks = w.h1 * w.v1;
  for (int i = 0; i < count; ++i, mcus += blocks) {
    const std::int32_t x = (first + i) * 8 * w.h1;
    bool chroma_ready = false;
    for (int by = 0; by < w.v1; ++by) {
      for (int bx = 0; bx < w.h1; ++bx) {
        const std::int32_t x0 = x + bx * 8;
        const std::int32_t y0 = y + by * 8;
        if (x0 + 8 > w.maxh) continue;
        if (y0 + 8 > w.maxv) return false;
        if (w.colour && !chroma_ready) {
          body::sum(mcus[luma_blocks], *w.basis, s.samples[4]);
          body::sum(mcus[luma_blocks + 1], *w.basis, s.samples[5]);
          body::chroma(s.samples[4], s.samples[5], s.chroma);
          chroma_ready = true;
        }
        const int k = by * w.h1 + bx;
        body::sum(mcus[k], *w.basis, s.samples[k]);
        block.luma = s.samples[k];
        img::Pixel* out = w.plane.row(y0) + x0;
        if (w.colour) {
          block.col0 = w.h1 == 2 ? bx * 4 : 0;
          block.row0 = w.v1 == 2 ? by * 4 : 0;
          body::colour(block, out, w.plane.stride);
        } else {
          body::grey(block, out, w.plane.stride);
        }
      }
    }
  }
  return true;
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) bool place_mcus_avx2(const McuWriter& w, const BlockCoefs* mcus,
                                                     int blocks, int first, int count,
                                                     std::int32_t y, ScanScratch& s) {
  return place_body(w, mcus, blocks, first, count, y, s);
}

__attribute__((target("avx2,avx512f,avx512bw"))) bool place_mcus_avx512(const McuWriter& w,
                                                                        const BlockCoefs* mcus,
                                                                        int blocks, int first,
                                                                        int count, std::int32_t y,
                                                                        ScanScratch& s) {
  return place_body(w, mcus, blocks, first, count, y, s);
}
#endif

}  // namespace

bool place_mcus_generic(const McuWriter& w, const BlockCoefs* mcus, int blocks, int first,
                        int count, std::int32_t y, ScanScratch& s) {
  return place_body(w, mcus, blocks, first, count, y, s);
}

McuPlacer select_placer() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx512bw")) return place_mcus_avx512;
  if (__builtin_cpu_supports("avx2")) return place_mcus_avx2;
#endif
  return place_mcus_generic;
}

}  // namespace formats::jpeg
