#include "options.h"

#include <array>
#include <charconv>

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

struct OptionSpec {
  std::string_view name;
  bool (*handle)(Options&, std::string_view value, std::string& error);
};

// Every option takes one value. Options that change the picture append a Step.
constexpr std::array<OptionSpec, 2> kOptions = {{
    {"--depth", set_depth},
    {"--max", set_max},
}};

}  // namespace

std::string_view usage_text() {
  return "usage: veldran-convert IN OUT.bmp [--depth 24|16|8] [--max W,H]\n"
         "  Loads IN (a BMP or a baseline JPEG, told apart by content) and saves it\n"
         "  as the BMP file OUT.\n"
         "  --depth 24|16|8  bits per pixel of OUT (default 24; 8 needs a palette)\n"
         "  --max W,H        largest picture held (default 4096,4096); larger pictures\n"
         "                   are cut to it and reported as too large\n"
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
      const OptionSpec* spec = nullptr;
      for (const OptionSpec& s : kOptions) {
        if (s.name == name) spec = &s;
      }
      if (spec == nullptr) {
        error = "unknown option " + std::string(arg);
        return false;
      }
      if (!has_value) {
        if (i + 1 >= argc) {
          error = std::string(name) + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      if (!spec->handle(options, value, error)) return false;
      continue;
    }
    positional.push_back(arg);
  }
  if (positional.size() != 2) {
    error = "expected IN and OUT";
    return false;
  }
  options.input = positional[0];
  options.output = positional[1];
  return true;
}

}  // namespace convert
