// Saving where it cannot work, through the whole program: a folder the user may not write,
// a full file system, a name that is a folder, a folder that does not exist. Each shows
// "Error: file not saved", leaves the file that had the name byte for byte as it was, and
// leaves the folder as it found it: no temporary file, nothing created.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/operations.h"
#include "core/prompt.h"
#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

namespace fs = std::filesystem;
using support::Harness;

// Every path under `dir` with its bytes ("<folder>" for folders).
std::map<std::string, std::string> contents(const fs::path& dir) {
  std::map<std::string, std::string> all;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(e.path(), dir).string();
    std::ifstream in(e.path(), std::ios::binary);
    all[name] = e.is_directory() ? "<folder>"
                                 : std::string(std::istreambuf_iterator<char>(in),
                                               std::istreambuf_iterator<char>());
  }
  return all;
}

struct SaveFault {
  const char* what;
  const char* typed;  // the answer to the save prompt
  bool as_ordinary_user;
  const char* message;
  // Makes the place (returns "" or why the case cannot run here) and undoes it.
  std::function<std::string(const fs::path&)> prepare;
  std::function<void(const fs::path&)> undo;
};

std::string no_change(const fs::path&) {
  return "";
}
void nothing_to_undo(const fs::path&) {}

// A 32 KiB file system holding one small file: the 147 KiB picture cannot fit.
std::string mount_small_file_system(const fs::path& dir) {
  if (geteuid() != 0) return "mounting a small tmpfs needs root";
  fs::create_directory(dir / "full");
  if (mount("veldran-test", (dir / "full").c_str(), "tmpfs", 0, "size=32k") != 0) {
    return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
  }
  std::ofstream(dir / "full" / "old.bmp", std::ios::binary) << std::string(3000, 'k');
  return "";
}

const SaveFault kCases[] = {
    {"a folder without write permission", "old.bmp", true, "Error: file not saved",
     [](const fs::path& dir) {
       fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
       return std::string();
     },
     [](const fs::path& dir) {
       fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
     }},
    {"a full file system", "full/old.bmp", false, "Error: file not saved", mount_small_file_system,
     [](const fs::path& dir) { umount2((dir / "full").c_str(), MNT_DETACH); }},
    {"a name that is a folder", "sub", false, "Error: file not saved",
     [](const fs::path& dir) {
       fs::create_directory(dir / "sub");
       std::ofstream(dir / "sub" / "keep.bmp", std::ios::binary) << "kept";
       return std::string();
     },
     nothing_to_undo},
    {"a name in a folder that does not exist", "missing/new.bmp", false, "Error: file not saved",
     no_change, nothing_to_undo},
    // The control: the same steps where saving works do replace the file.
    {"a writable folder", "old.bmp", true, "File saved.",
     [](const fs::path& dir) {
       fs::permissions(dir, fs::perms::all);
       return std::string();
     },
     nothing_to_undo},
};

// Runs `body` as user and group 65534 in a child process when running as root (an ordinary
// user is already subject to permissions); returns its exit code, or -1.
int as_ordinary_user(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SaveFaults, FailedSavesSayNotSavedAndKeepEverything) {
  for (const SaveFault& c : kCases) {
    SCOPED_TRACE(c.what);
    Harness h;
    const fs::path dir = h.dir.path();
    h.dir.write("pic.bmp", support::bmp24(256, 192, [](int x, int y) {
                  return img::make_pixel(x, y, x ^ y);
                }));
    h.dir.write("old.bmp", std::string(5000, 'o'));
    const std::string skip = c.prepare(dir);
    if (!skip.empty()) {
      std::printf("[  SKIPPED ] %s: %s\n", c.what, skip.c_str());
      c.undo(dir);
      continue;
    }
    const auto before = contents(dir);
    ASSERT_TRUE(h.start("pic.bmp")) << h.error;

    bool shown = false;
    h.screen.hold({platform::scan::kAlt}).hold({}).keys("fb").keys(c.typed).key("\r").idle();
    h.screen.then([&] { shown = h.find(c.message).first != 0; });
    const int code = c.as_ordinary_user
                         ? as_ordinary_user([&] { return h.run() == 0 && shown ? 0 : 1; })
                         : (h.run() == 0 && shown ? 0 : 1);
    EXPECT_EQ(code, 0) << "\"" << c.message << "\" not shown";

    auto after = contents(dir);
    if (std::string(c.message) == "File saved.") {
      EXPECT_EQ(after.at("old.bmp").substr(0, 2), "BM");
      after["old.bmp"] = before.at("old.bmp");
    }
    EXPECT_EQ(after, before) << "the folder changed";
    c.undo(dir);
  }
}

// A picture with no pixels, or one a load left after failing part-way (the size and blocks
// of a JPEG cut short replace the picture while the current name stays the old picture's),
// is never saved under the current name: that file keeps its bytes. A typed name, or a
// good load, ends the refusal.
TEST(SaveFaults, EmptyOrBrokenPictureNeverReplacesTheCurrentFile) {
  struct Case {
    const char* what;
    const char* first_picture;
    std::vector<std::string> steps;  // "open NAME", "save", "save as NAME"
    platform::Status last;           // shown after the last step
    const char* kept;                // a file that keeps its bytes ("" none)
  };
  const Case cases[] = {
      {"nothing loaded", "", {"save"}, platform::Status::kFileNotSaved, "default.bmp"},
      {"a BMP of negative height", "neg.bmp", {"save"}, platform::Status::kFileNotSaved, "neg.bmp"},
      {"a JPEG cut short",
       "good.bmp",
       {"open cut.jpg", "save"},
       platform::Status::kFileNotSaved,
       "good.bmp"},
      {"a JPEG cut short, saved as a typed name",
       "good.bmp",
       {"open cut.jpg", "save as copy.bmp", "save"},
       platform::Status::kFileSaved,
       "good.bmp"},
      {"a JPEG cut short, then a good load",
       "good.bmp",
       {"open cut.jpg", "open good.bmp", "save"},
       platform::Status::kFileSaved,
       ""},
  };
  std::string negative = support::bmp24(4, 2, 0x102030);
  negative[22] = negative[23] = negative[24] = negative[25] = '\xFE';  // height -2 (top-down)
  const std::string jpeg =
      support::TempDir::read_file(VELDRAN_SOURCE_DIR "/samples/p03_640x480_420.jpg");
  ASSERT_GT(jpeg.size(), 3000u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h(support::settings_text(18, 32, 1024, 1024));
    h.dir.write("good.bmp", support::bmp24(5, 3, 0x405060));
    h.dir.write("neg.bmp", negative);
    h.dir.write("cut.jpg", jpeg.substr(0, 3000));
    const fs::path kept = h.dir.path() / (*c.kept != 0 ? c.kept : "none");
    const bool existed = fs::exists(kept);
    const std::string before = support::TempDir::read_file(kept);
    ASSERT_TRUE(h.start(c.first_picture)) << h.error;
    for (const std::string& step : c.steps) {
      if (step.rfind("open ", 0) == 0) {
        h.app.requested_name = step.substr(5);
        core::load_requested_picture(h.app);
      } else if (step == "save") {
        core::save_picture(h.app, 24);
      } else {
        h.screen.keys(step.substr(8)).key("\r");
        core::save_prompt(h.app, 24);
      }
    }
    EXPECT_EQ(h.app.status(), c.last);
    EXPECT_EQ(fs::exists(kept), existed);
    EXPECT_EQ(support::TempDir::read_file(kept), before);
  }
}

}  // namespace
