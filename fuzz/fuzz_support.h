// The fuzz targets' entries, one check of one input each (false when the program misbehaved),
// and the pieces they share. The engine and the tests' replay both call them.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// Writes `bytes` as the whole file `p`.
void put_file(const std::filesystem::path& p, const std::string& bytes);

// The folder the program runs in: <base>/pictures, the current folder while this lives.
// <base> holds nothing else, so anything written beside the pictures' folder shows there.
class AppFuzzFolder {
 public:
  AppFuzzFolder();
  ~AppFuzzFolder();
  AppFuzzFolder(const AppFuzzFolder&) = delete;
  AppFuzzFolder& operator=(const AppFuzzFolder&) = delete;

  // Names a prompt may be given: the folder's own files, names of things that are not
  // pictures, a folder, places that do not exist.
  static constexpr std::string_view kNames[] = {
      "card_8bit.bmp",
      "card_16bit.bmp",
      "card_420.jpg",
      "card_grey.jpg",
      "big.jpg",
      "cut.jpg",
      "notes.bmp",
      "pipe.bmp",
      "sub",
      "sub/inner.bmp",
      "sub/",
      "missing/x.bmp",
      "new.bmp",
      ".",
      "..",
      "VELDRAN.INI",
      "  \"a, b.bmp\"",
      "c.bmp, card_8bit.bmp",
  };

  // Checks what a run left behind; false with the fault named when something is wrong.
  bool check(std::string& fault) const;
  // Puts every file back as it was and removes whatever the run added.
  void restore() const;

 private:
  static bool whole_bmp(const std::string& b);
  static bool whole_png(const std::string& b);

  std::filesystem::path base_, folder_, previous_;
  std::vector<std::pair<std::string, std::string>> files_;
};

// fuzz_loader: any bytes through the loader, twice with one decoder.
bool loader_input(const std::uint8_t* data, std::size_t size);
// fuzz_bmp_roundtrip: a picture made from the input saved as a BMP and loaded back.
bool bmp_roundtrip_input(const std::uint8_t* data, std::size_t size);
// fuzz_settings: any bytes as the settings file.
bool settings_input(const std::uint8_t* data, std::size_t size);
// fuzz_prompt: the first-item rule and the line reader.
bool prompt_input(const std::uint8_t* data, std::size_t size);
// fuzz_number_entry: the typing rules, then number entry in an App started with `settings`
// (the form without runs in one settings file kept for the whole process).
bool number_entry_input(const ScratchSettings& settings, const std::uint8_t* data,
                        std::size_t size);
bool number_entry_input(const std::uint8_t* data, std::size_t size);
// fuzz_app: one run of the whole program in `folder` (the form without runs in one folder
// kept for the whole process).
bool app_input(const AppFuzzFolder& folder, const std::uint8_t* data, std::size_t size);
bool app_input(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
