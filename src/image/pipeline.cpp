#include "image/pipeline.h"

#include <algorithm>
#include <cstring>

#include "image/adjust.h"
#include "image/reduce.h"

namespace img {

std::int32_t run_pipeline(const ImageStore& store, const ColourSettings& s, PaletteList& palette,
                          Multipalette& multipalette) {
  const std::int32_t w = std::min(store.width, store.maxh);
  const std::int32_t h = std::min(store.height, store.maxv);
  const Plane working = store.working();
  const Plane processed = store.processed();
  if (w < 1 || h < 1 || working.px == nullptr || processed.px == nullptr) return -1;

  for (std::int32_t y = 0; y < h; ++y) {
    std::memcpy(processed.row(y), working.row(y), sizeof(Pixel) * static_cast<std::size_t>(w));
  }
  if (s.adjust_color) adjust_colours(processed, w, h, s);
  if (s.adjust_depth) reduce_colours(processed, w, h, s);
  if (s.use_palette && s.multipalette) return multipalette.build_and_map(processed, w, h, s);
  if (s.use_palette) return build_and_map_palette(processed, w, h, s.pal_size, palette);
  return -1;
}

}  // namespace img
