// Replays the fuzz targets' seed corpora and every input kept in their regression folders
// through the same entries the fuzzers call (so the sanitizer build covers them).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_files.h"

#define VELDRAN_FUZZ_ENTRY_ONLY
#include "../../fuzz/fuzz_bmp_roundtrip.cpp"
#include "../../fuzz/fuzz_loader.cpp"

namespace formats_test {
namespace {

int replay(const std::string& folder, bool (*entry)(const std::uint8_t*, std::size_t)) {
  const std::filesystem::path root = std::filesystem::path(VELDRAN_SOURCE_DIR) / "fuzz" / folder;
  int files = 0;
  if (!std::filesystem::exists(root)) return 0;
  for (const auto& e : std::filesystem::directory_iterator(root)) {
    if (!e.is_regular_file() || e.path().filename().string()[0] == '.') continue;
    const Bytes b = read_bytes(e.path().string());
    EXPECT_TRUE(entry(b.data(), b.size())) << e.path();
    ++files;
  }
  return files;
}

TEST(FuzzRegressions, LoaderInputs) {
  EXPECT_GT(replay("corpus/fuzz_loader", fuzz::loader_input), 0);
  replay("regressions/fuzz_loader", fuzz::loader_input);
}

TEST(FuzzRegressions, BmpRoundTripInputs) {
  EXPECT_GT(replay("corpus/fuzz_bmp_roundtrip", fuzz::bmp_roundtrip_input), 0);
  replay("regressions/fuzz_bmp_roundtrip", fuzz::bmp_roundtrip_input);
}

}  // namespace
}  // namespace formats_test
