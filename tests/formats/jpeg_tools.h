// Test pictures made with the libjpeg-turbo command-line tools: a synthetic photograph
// written as PPM, and the tools run on files in a scratch folder.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace formats_test {

// A synthetic photograph: smooth shading, edges, fine texture and noise.
inline void write_source(const std::string& path, int w, int h) {
  std::mt19937 rng(static_cast<unsigned>(w * 131 + h));
  std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
      const int noise = static_cast<int>(rng() % 21) - 10;
      const int edge = ((x / 13 + y / 11) % 3 == 0) ? 60 : 0;
      const int r = static_cast<int>(200 * fx + 40 * std::sin(y * 0.3)) + noise + edge;
      const int g = static_cast<int>(180 * fy + 50 * std::cos(x * 0.21)) + noise;
      const int b = static_cast<int>(120 + 100 * std::sin((x + y) * 0.05)) - edge + noise;
      for (int v : {r, g, b}) s += static_cast<char>(std::clamp(v, 0, 255));
    }
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(s.data(), 1, s.size(), f);
  std::fclose(f);
}

// True when every named tool is on the PATH.
inline bool tools_available(std::initializer_list<const char*> tools) {
  for (const char* t : tools) {
    if (std::system(("command -v " + std::string(t) + " >/dev/null 2>&1").c_str()) != 0) {
      return false;
    }
  }
  return true;
}

inline bool run(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

}  // namespace formats_test
