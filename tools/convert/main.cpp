// veldran-convert: loads a picture (BMP, JPEG, PNG, GIF or WebP) and saves it as a BMP, or
// as a PNG when the output name ends in .png, printing the program's own messages on stderr.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/loader.h"
#include "formats/save.h"
#include "image/multipalette.h"
#include "image/palette.h"
#include "image/pipeline.h"
#include "menu/messages.h"
#include "options.h"

namespace {

void say(platform::Status m) {
  const std::string_view text = menu::message_trimmed(m);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool is_error(platform::Status m) {
  return m != platform::Status::kNone && m != platform::Status::kFileLoaded &&
         m != platform::Status::kFileSaved;
}

int run(const convert::Options& options) {
  img::ImageStore store;
  std::string error;
  if (!store.allocate(options.max_width, options.max_height, error)) {
    std::fprintf(stderr, "veldran-convert: %s\n", error.c_str());
    return 1;
  }
  img::ComposeWorkspace compose;
  if (!compose.reserve(store.maxh, store.maxh)) {
    std::fprintf(stderr, "veldran-convert: cannot allocate the resampler's working memory\n");
    return 1;
  }
  auto jpeg = std::make_unique<formats::JpegDecoder>();
  jpeg->set_upright(options.upright);
  const formats::LoadResult loaded = formats::load_picture(options.input, store, *jpeg);
  say(loaded.message);
  bool failed = is_error(loaded.message);
  // A load that failed but left a picture (cut to the store, or cut short) is saved all
  // the same, as the window's Save would; a load that left nothing writes nothing.
  if (failed && !store.has_picture()) return 1;

  // A refused step (a resize beyond the store) leaves the picture as it was; the run goes on.
  convert::StepContext context{store, compose};
  for (const convert::Step& step : options.steps) {
    const platform::Status m = step.apply(context);
    if (m != platform::Status::kNone) say(m);
    failed = failed || is_error(m);
  }
  failed = failed || context.failed;

  // An 8-bit file takes its colour table from the palette, as the window's save does.
  if (options.depth == 8 && !options.colours.use_palette) {
    say(platform::Status::kNotPalettized);
    return 1;
  }

  // The colour stages, from the working image into the processed image, as in the window.
  const img::ColourSettings& colours = options.colours;
  auto palette = std::make_unique<img::PaletteList>();
  img::Multipalette multipalette;
  if ((colours.use_palette && !palette->ok()) ||
      (colours.multipalette &&
       !multipalette.reserve(std::max(store.width, 1), std::max(store.height, 1)))) {
    std::fprintf(stderr, "veldran-convert: cannot allocate the palette stage's working memory\n");
    return 1;
  }
  if (img::shows_processed(colours)) img::run_pipeline(store, colours, *palette, multipalette);
  const img::ConstPlane source =
      img::shows_processed(colours) ? store.processed() : store.working();
  const img::ZonedPalettes zones = multipalette.result();
  const platform::Status saved = formats::save_picture(
      options.output, options.depth, source, store.width, store.height, palette->keys(),
      colours.pal_size, store.row_buffer(), {}, colours.multipalette ? &zones : nullptr);
  say(saved);
  failed = failed || is_error(saved);
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  convert::Options options;
  std::string error;
  if (!convert::parse_options(argc, argv, options, error)) {
    std::fprintf(stderr, "veldran-convert: %s\n%s", error.c_str(),
                 std::string(convert::usage_text()).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(std::string(convert::usage_text()).c_str(), stdout);
    return 0;
  }
  return run(options);
}
