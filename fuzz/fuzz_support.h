// Shared pieces of the fuzz targets that run the App.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fuzz {

// A settings file in a fresh temporary folder, removed with the object.
class ScratchSettings {
 public:
  explicit ScratchSettings(const std::string& text) {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldran-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) __builtin_trap();
    folder_ = pattern;
    std::ofstream(folder_ / "VELDRAN.INI", std::ios::binary) << text;
  }
  ~ScratchSettings() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  ScratchSettings(const ScratchSettings&) = delete;
  ScratchSettings& operator=(const ScratchSettings&) = delete;
  std::string path() const { return (folder_ / "VELDRAN.INI").string(); }

 private:
  std::filesystem::path folder_;
};

}  // namespace fuzz
