#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "support/harness.h"

namespace {

using support::Harness;

// Start-up either works with values it can use or refuses with a message; it never crashes.
void expect_defined_start(const std::string& settings, const std::string& what) {
  Harness h(settings);
  if (h.start()) {
    const core::ScreenRecord& r = h.app.screen_record;
    EXPECT_GE(r.width, 320) << what;
    EXPECT_GE(r.height, 200) << what;
    EXPECT_TRUE(r.depth == 8 || r.depth == 15 || r.depth == 16 || r.depth == 32) << what;
    EXPECT_GE(r.text_rows, 1) << what;
    EXPECT_GE(h.app.store.maxh, 1) << what;
    EXPECT_GE(h.app.store.maxv, 1) << what;
  } else {
    EXPECT_FALSE(h.error.empty()) << what;
  }
}

TEST(BrokenSettings, EveryKindStartsWithDefinedValuesOrAClearMessage) {
  const std::string cases[] = {
      "mode = 99999999\r\ncdep = 99999999\r\nmaxh = 99999999999\r\nmaxv = 99999999999\r\n",
      "mode =\r\ncdep =\r\nmaxh =\r\nmaxv =\r\n",
      "mode = 19\ncdep = 16\nmaxh = 100\nmaxv = 100\n",
      "maxh = 2147483647\r\nmaxv = 2147483647\r\n",
      "maxh = 65536\r\nmaxv = 65536000\r\n",
      "mode = 0\r\ncdep = 1\r\n",
      "mode = 21\r\ncdep = 8\r\nmaxh = 1\r\nmaxv = 1\r\n",
      std::string(1000, '\n'),
      std::string(1000, '\0'),
      "mode",
  };
  for (const std::string& c : cases) expect_defined_start(c, c.substr(0, 40));
}

TEST(BrokenSettings, BinaryJunk) {
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    std::string junk(random() % 300, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    // Plant keys now and then so that values get parsed too.
    if (i % 2 == 0) junk.insert(0, i % 4 == 0 ? "maxh" : "mode");
    expect_defined_start(junk, "junk " + std::to_string(i));
  }
}

TEST(BrokenSettings, AFolderInPlaceOfTheFileIsReportedAndBuiltInValuesUsed) {
  Harness h("");
  std::filesystem::create_directory(h.dir.path() / "VELDRAN.INI");
  ASSERT_TRUE(h.start()) << h.error;
  ASSERT_EQ(h.warnings.size(), 1u);
  EXPECT_NE(h.warnings[0].find("folder"), std::string::npos);
  EXPECT_EQ(h.app.screen_record.width, 640);
}

TEST(BrokenSettings, AnUnreadableFileIsReportedAndBuiltInValuesUsed) {
  // As root every file is readable, so the check runs as an ordinary user in a child.
  Harness h(support::settings_text(19, 32, 64, 64));
  std::filesystem::permissions(h.dir.path() / "VELDRAN.INI", std::filesystem::perms::none);
  std::filesystem::permissions(h.dir.path(), std::filesystem::perms::all);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    core::Settings s;
    std::string warning;
    core::read_or_create_settings("VELDRAN.INI", s, warning);
    const bool ok = s.mode == 18 && warning.find("cannot read") != std::string::npos;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The file is left as it was, not overwritten with the default text.
  std::filesystem::permissions(h.dir.path() / "VELDRAN.INI", std::filesystem::perms::owner_all);
  EXPECT_EQ(h.dir.read("VELDRAN.INI"), support::settings_text(19, 32, 64, 64));
}

// A named pipe in the file's place would hold up the start for ever; it is passed over with
// a warning, like a folder.
TEST(BrokenSettings, ANamedPipeIsReportedAndBuiltInValuesUsed) {
  Harness h("");
  ASSERT_EQ(mkfifo((h.dir.path() / "VELDRAN.INI").c_str(), 0644), 0);
  ASSERT_TRUE(h.start()) << h.error;
  ASSERT_EQ(h.warnings.size(), 1u);
  EXPECT_NE(h.warnings[0].find("not a plain file"), std::string::npos) << h.warnings[0];
  EXPECT_EQ(h.app.screen_record.width, 640);
}

}  // namespace
