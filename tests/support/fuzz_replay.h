// Replays a fuzz target's seed corpus or regression folder through the target's entry, so
// that every input ever kept runs in the tests (and under the sanitizers in their build).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace support {

// Runs every file of fuzz/<folder> (hidden files aside) through `entry`, which returns false
// when the program misbehaved; returns the number of files.
inline int replay_fuzz_folder(const std::string& folder,
                              const std::function<bool(const std::uint8_t*, std::size_t)>& entry) {
  const std::filesystem::path root = std::filesystem::path(VELDRAN_SOURCE_DIR) / "fuzz" / folder;
  if (!std::filesystem::exists(root)) return 0;
  // Read first: an entry may change the current folder.
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(root)) {
    if (e.is_regular_file() && e.path().filename().string()[0] != '.') files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    EXPECT_TRUE(entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) << path;
  }
  return static_cast<int>(files.size());
}

// Replays a target's seeds (fuzz/corpus/<target>, which must hold some) and its kept inputs
// (fuzz/regressions/<target>); returns the number of kept inputs.
inline int replay_fuzz_inputs(const std::string& target,
                              const std::function<bool(const std::uint8_t*, std::size_t)>& entry) {
  EXPECT_GT(replay_fuzz_folder("corpus/" + target, entry), 0) << target;
  return replay_fuzz_folder("regressions/" + target, entry);
}

}  // namespace support
