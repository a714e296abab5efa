// veldran-convert: loads a BMP or JPEG picture and saves it as a BMP, printing the
// program's own messages on stderr.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "options.h"

namespace {

void say(menu::Message m) {
  const std::string_view text = menu::message_trimmed(m);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool is_error(menu::Message m) {
  return m != menu::Message::kNone && m != menu::Message::kFileLoaded &&
         m != menu::Message::kFileSaved;
}

int run(const convert::Options& options) {
  img::ImageStore store;
  std::string error;
  if (!store.allocate(options.max_width, options.max_height, error)) {
    std::fprintf(stderr, "veldran-convert: %s\n", error.c_str());
    return 1;
  }
  auto jpeg = std::make_unique<formats::JpegDecoder>();
  std::vector<std::uint8_t> file_buffer;
  const formats::LoadResult loaded =
      formats::load_picture(options.input, store, *jpeg, file_buffer);
  say(loaded.message);
  bool failed = is_error(loaded.message);
  // A load that failed but left a picture (cut to the store, or cut short) is saved all
  // the same, as the window's Save would; a load that left nothing writes nothing.
  if (failed && !store.has_picture()) return 1;

  convert::StepContext context{store};
  for (const convert::Step& step : options.steps) {
    const menu::Message m = step.apply(context);
    if (m != menu::Message::kNone) say(m);
    if (is_error(m)) return 1;
  }

  if (options.depth == 8) {  // no palette stage exists yet to give the colour keys
    say(menu::Message::kNotPalettized);
    return 1;
  }
  const menu::Message saved =
      formats::save_bmp(options.output, options.depth, store.working(), store.width, store.height,
                        {}, 0, store.row_buffer());
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
