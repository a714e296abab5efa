// Replays the seed corpora and every kept input of the fuzz targets that drive the program
// itself: the settings reader, number entry, the prompt's answer and the whole program.
#include "support/fuzz_replay.h"

#include <gtest/gtest.h>

#include "fuzz/fuzz_support.h"

namespace {

using support::replay_fuzz_inputs;

TEST(FuzzReplay, SettingsInputs) {
  replay_fuzz_inputs("fuzz_settings", fuzz::settings_input);
}

TEST(FuzzReplay, NumberEntryInputs) {
  const fuzz::ScratchSettings settings("mode = 13\r\ncdep = 32\r\nmaxh = 64\r\nmaxv = 64\r\n");
  auto entry = [&settings](const std::uint8_t* data, std::size_t size) {
    return fuzz::number_entry_input(settings, data, size);
  };
  replay_fuzz_inputs("fuzz_number_entry", entry);
}

TEST(FuzzReplay, PromptInputs) {
  replay_fuzz_inputs("fuzz_prompt", fuzz::prompt_input);
}

TEST(FuzzReplay, WholeProgramInputs) {
  const fuzz::AppFuzzFolder folder;
  auto entry = [&folder](const std::uint8_t* data, std::size_t size) {
    return fuzz::app_input(folder, data, size);
  };
  EXPECT_GT(replay_fuzz_inputs("fuzz_app", entry), 0);
}

// The checks themselves: a run that leaves a temporary file or writes beside its folder
// is caught.
TEST(FuzzReplay, WholeProgramChecksCatchLeftovers) {
  const fuzz::AppFuzzFolder folder;
  std::string fault;
  ASSERT_TRUE(folder.check(fault)) << fault;
  struct Case {
    const char* path;
    const char* fault;
  };
  const Case cases[] = {
      {".new.bmp.123.0.tmp", "temporary file left"},
      {"../beside.bmp", "written outside"},
      {"card_420.jpg", "neither its old self nor a whole BMP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    fuzz::put_file(c.path, "BM half a file");
    fault.clear();
    EXPECT_FALSE(folder.check(fault));
    EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
    folder.restore();
    if (std::string(c.path).rfind("../", 0) == 0) std::filesystem::remove(c.path);
    EXPECT_TRUE(folder.check(fault)) << fault;
  }
}

}  // namespace
