#include "options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "image/crop.h"
#include "image/flip.h"
#include "image/resize.h"
#include "image/rotate.h"

namespace convert {
namespace {

constexpr std::int32_t kLargestSide = 65535;

bool parse_int(std::string_view text, std::int32_t& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

bool set_depth(Options& o, std::string_view value, std::string& error) {
  std::int32_t depth = 0;
  if (!parse_int(value, depth) || (depth != 24 && depth != 16 && depth != 8)) {
    error = "--depth must be 24, 16 or 8";
    return false;
  }
  o.depth = depth;
  return true;
}

bool set_max(Options& o, std::string_view value, std::string& error) {
  const std::size_t comma = value.find(',');
  std::int32_t w = 0;
  std::int32_t h = 0;
  if (comma == std::string_view::npos || !parse_int(value.substr(0, comma), w) ||
      !parse_int(value.substr(comma + 1), h) || w < 1 || h < 1 || w > kLargestSide ||
      h > kLargestSide) {
    error = "--max takes W,H, each 1 to 65535";
    return false;
  }
  o.max_width = w;
  o.max_height = h;
  return true;
}

// W,H or R,G,B: `count` integers separated by commas.
bool parse_list(std::string_view text, std::int32_t* values, int count) {
  for (int i = 0; i < count; ++i) {
    const std::size_t comma = i + 1 < count ? text.find(',') : std::string_view::npos;
    if (i + 1 < count && comma == std::string_view::npos) return false;
    if (!parse_int(text.substr(0, comma), values[i])) return false;
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return true;
}

bool flip_x(Options& o, std::string_view, std::string&) {
  o.steps.push_back({"flip-x", [](StepContext& c) {
                       img::flip_x(c.store);
                       return platform::Status::kNone;
                     }});
  return true;
}

bool flip_y(Options& o, std::string_view, std::string&) {
  o.steps.push_back({"flip-y", [](StepContext& c) {
                       img::flip_y(c.store);
                       return platform::Status::kNone;
                     }});
  return true;
}

bool resize(Options& o, std::string_view value, std::string& error) {
  std::int32_t size[2] = {};
  if (!parse_list(value, size, 2) || size[0] < 1 || size[1] < 1) {
    error = "--resize takes W,H, each at least 1";
    return false;
  }
  o.steps.push_back({"resize", [w = size[0], h = size[1]](StepContext& c) {
                       return img::resize_picture(c.store, w, h, c.compose);
                     }});
  return true;
}

bool rotate(Options& o, std::string_view value, std::string& error) {
  float degrees = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, degrees);
  if (value.empty() || ec != std::errc() || ptr != end || !std::isfinite(degrees)) {
    error = "--rotate takes an angle in degrees";
    return false;
  }
  o.steps.push_back(
      {"rotate", [degrees](StepContext& c) { return img::rotate_picture(c.store, degrees); }});
  return true;
}

bool crop(Options& o, std::string_view value, std::string& error) {
  std::int32_t r[4] = {};
  if (!parse_list(value, r, 4) || r[2] < 1 || r[3] < 1) {
    error = "--crop takes X,Y,W,H with W and H at least 1";
    return false;
  }
  o.steps.push_back({"crop", [rect = img::PixelRect{r[0], r[1], r[2], r[3]}](StepContext& c) {
                       if (!img::crop_picture(c.store, rect)) {
                         std::fprintf(stderr, "veldran-convert: --crop misses the picture\n");
                         c.failed = true;
                       }
                       return platform::Status::kNone;
                     }});
  return true;
}

// The adjustment values: any of them switches the adjustment on, as its check box would.
template <std::int32_t img::ColourSettings::*Field>
bool set_adjustment(Options& o, std::string_view value, std::string& error) {
  if (!parse_int(value, o.colours.*Field)) {
    error = "colour adjustments take a whole number";
    return false;
  }
  o.colours.adjust_color = true;
  return true;
}

bool set_levels(Options& o, std::string_view value, std::string& error) {
  std::int32_t levels[3] = {};
  if (!parse_list(value, levels, 3)) {
    error = "--levels takes R,G,B";
    return false;
  }
  o.colours.red_levels = levels[0];
  o.colours.green_levels = levels[1];
  o.colours.blue_levels = levels[2];
  o.colours.adjust_depth = true;
  return true;
}

bool set_intensity(Options& o, std::string_view, std::string&) {
  o.colours.intensity_bit = true;
  o.colours.adjust_depth = true;
  return true;
}

bool set_greyscale(Options& o, std::string_view, std::string&) {
  o.colours.greyscale = true;
  o.colours.adjust_depth = true;
  return true;
}

bool set_dither(Options& o, std::string_view value, std::string& error) {
  if (value != "ordered" && value != "fs") {
    error = "--dither takes ordered or fs";
    return false;
  }
  o.colours.dithering = true;
  o.colours.floyd_steinberg = value == "fs";
  o.colours.adjust_depth = true;
  return true;
}

bool set_palette(Options& o, std::string_view value, std::string& error) {
  if (!parse_int(value, o.colours.pal_size)) {
    error = "--palette takes the largest number of colours";
    return false;
  }
  o.colours.use_palette = true;
  return true;
}

bool keep_stored_orientation(Options& o, std::string_view, std::string&) {
  o.upright = false;
  return true;
}

bool set_palettes(Options& o, std::string_view value, std::string& error) {
  if (!parse_int(value, o.colours.palettes)) {
    error = "--palettes takes the number of palettes";
    return false;
  }
  o.colours.multipalette = true;
  return true;
}

bool set_zone(Options& o, std::string_view value, std::string& error) {
  std::int32_t size[2] = {};
  if (!parse_list(value, size, 2)) {
    error = "--zone takes W,H";
    return false;
  }
  o.colours.zone_width = size[0];
  o.colours.zone_height = size[1];
  o.zone_given = true;
  return true;
}

struct OptionSpec {
  std::string_view name;
  bool takes_value;
  bool (*handle)(Options&, std::string_view value, std::string& error);
};

// Options that change the picture's geometry append a Step; the colour options set the
// stages as the menus' check boxes and values do.
constexpr std::array<OptionSpec, 21> kOptions = {{
    {"--depth", true, set_depth},
    {"--max", true, set_max},
    {"--flip-x", false, flip_x},
    {"--flip-y", false, flip_y},
    {"--resize", true, resize},
    {"--rotate", true, rotate},
    {"--crop", true, crop},
    {"--contrast", true, set_adjustment<&img::ColourSettings::contrast>},
    {"--brightness", true, set_adjustment<&img::ColourSettings::brightness>},
    {"--red-add", true, set_adjustment<&img::ColourSettings::red_add>},
    {"--green-add", true, set_adjustment<&img::ColourSettings::green_add>},
    {"--blue-add", true, set_adjustment<&img::ColourSettings::blue_add>},
    {"--levels", true, set_levels},
    {"--intensity", false, set_intensity},
    {"--greyscale", false, set_greyscale},
    {"--dither", true, set_dither},
    {"--palette", true, set_palette},
    {"--no-orient", false, keep_stored_orientation},
    {"--palettes", true, set_palettes},
    {"--zone", true, set_zone},
    {"--help", false, nullptr},
}};

}  // namespace

std::string_view usage_text() {
  return "usage: veldran-convert IN OUT [options]\n"
         "  Loads IN (a BMP, JPEG, PNG, GIF or WebP, told apart by content), applies the flips,\n"
         "  resizes, rotations and crops in the order given, then the colour stages, and saves\n"
         "  OUT: a PNG when its name ends in .png, else a BMP.\n"
         "  --depth 24|16|8      bits per pixel of OUT (default 24; 8 needs --palette)\n"
         "  --max W,H            largest picture held (default 4096,4096); larger pictures\n"
         "                       are cut to it and reported as too large\n"
         "  --flip-x, --flip-y   mirror left to right, top to bottom\n"
         "  --resize W,H         resample to W x H pixels, each at least 1\n"
         "  --rotate DEG         turn clockwise by DEG degrees (quarter turns exactly)\n"
         "  --crop X,Y,W,H       keep W x H pixels from column X, row Y (clipped)\n"
         "  --contrast N, --brightness N, --red-add N, --green-add N, --blue-add N\n"
         "                       colour adjustment (on when any is given)\n"
         "  --levels R,G,B       levels per component (colour reduction; default 256 each)\n"
         "  --intensity          the intensity bit (colour reduction)\n"
         "  --greyscale          grey levels (colour reduction)\n"
         "  --dither ordered|fs  ordered or Floyd-Steinberg dithering (colour reduction)\n"
         "  --palette N          a palette of at most N colours from the picture's own\n"
         "  --no-orient          keep a JPEG picture as stored, whatever its orientation tag\n"
         "  --palettes N         N palettes of the --palette size, one per zone (N x size\n"
         "                       at most 256: N is lowered to fit); needs --palette\n"
         "  --zone W,H           the zones of --palettes, from the top-left corner (default\n"
         "                       1,1; sizes below 1 count as 1)\n"
         "Exit status: 0 success, 1 an error message was printed, 2 bad arguments.\n";
}

bool parse_options(int argc, const char* const* argv, Options& options, std::string& error) {
  std::vector<std::string_view> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      return true;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::string_view name = arg;
      std::string_view value;
      bool has_value = false;
      if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        has_value = true;
      }
      const OptionSpec* found = nullptr;
      for (const OptionSpec& s : kOptions) {
        if (s.name == name) found = &s;
      }
      if (found == nullptr) {
        error = "unknown option " + std::string(arg);
        return false;
      }
      if (found->handle == nullptr) {
        options.help = true;
        return true;
      }
      if (!found->takes_value && has_value) {
        error = std::string(name) + " takes no value";
        return false;
      }
      if (found->takes_value && !has_value) {
        if (i + 1 >= argc) {
          error = std::string(name) + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      if (!found->handle(options, value, error)) return false;
      continue;
    }
    positional.push_back(arg);
  }
  if (positional.size() != 2) {
    error = "expected IN and OUT";
    return false;
  }
  if (options.colours.multipalette && !options.colours.use_palette) {
    error = "--palettes needs --palette";
    return false;
  }
  if (options.zone_given && !options.colours.multipalette) {
    error = "--zone needs --palettes";
    return false;
  }
  options.input = positional[0];
  options.output = positional[1];
  return true;
}

}  // namespace convert
