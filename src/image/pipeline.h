// The processing pipeline: rebuilds the processed image from the working image and applies
// the enabled colour stages in their fixed order: adjustment, reduction, palette.
#pragma once

#include <cstdint>

#include "image/colour_settings.h"
#include "image/image_store.h"
#include "image/multipalette.h"
#include "image/palette.h"

namespace img {

// Copies the picture (width x height) from the working image into the processed image and
// runs the stages `s` enables; the palette stage is the single palette, or with
// `multipalette` on, one palette per zone. Returns the number of palette colours when the
// palette stage ran, else -1. An empty picture is left alone.
std::int32_t run_pipeline(const ImageStore& store, const ColourSettings& s, PaletteList& palette,
                          Multipalette& multipalette);

}  // namespace img
