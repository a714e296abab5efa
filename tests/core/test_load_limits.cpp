// Loading is bounded in time and memory: a huge file costs only what its picture needs and
// leaves nothing behind, an image store larger than the machine is refused at start-up,
// F3/F4 list the folder once per press however many files they step over, and no size a
// header can hold overflows anything the picture goes through.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>

#include "core/browse.h"
#include "core/menu_table.h"
#include "core/operations.h"
#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using support::Harness;

std::int64_t resident_bytes() {
  long pages = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return -1;
  const int n = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return n == 2 ? std::int64_t{resident} * ::sysconf(_SC_PAGESIZE) : -1;
}

// A 1 x 1 picture at the start of a sparse 512 MiB file: the load reads what the picture
// needs, and the memory in use afterwards is what it was before.
TEST(LoadLimits, HugeFileLeavesNoMemoryBehind) {
  Harness h;
  h.dir.write("big.bmp", support::bmp24(1, 1, 0x123456));
  std::error_code ec;
  std::filesystem::resize_file(h.dir.path() / "big.bmp", std::uintmax_t{512} << 20, ec);
  if (ec) GTEST_SKIP() << "cannot make a sparse file here: " << ec.message();
  ASSERT_TRUE(h.start()) << h.error;
  const std::int64_t before = resident_bytes();
  h.app.requested_name = "big.bmp";
  core::load_requested_picture(h.app);
  const std::int64_t after = resident_bytes();
  EXPECT_EQ(h.app.status(), platform::Status::kFileLoaded);
  EXPECT_EQ(h.app.store.working().at(0, 0), img::Pixel{0x123456});
  EXPECT_LT(after - before, std::int64_t{16} << 20) << "resident memory grew by the file";
}

// maxv chosen so that each plane fits in memory but the two together do not.
TEST(LoadLimits, ImageStoreLargerThanMemoryIsRefusedAtStart) {
  const auto memory = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                      static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t rows = memory / (8 * 65535) + 16;
  if (rows > 65535) GTEST_SKIP() << "more memory than the largest store";
  Harness h(support::settings_text(18, 32, 65535, static_cast<int>(rows)));
  EXPECT_FALSE(h.start());
  EXPECT_NE(h.error.find("does not fit in the machine's"), std::string::npos) << h.error;
  EXPECT_NE(h.error.find("maxh and maxv"), std::string::npos) << h.error;
}

// Counts the times the folder is opened for listing while `body` runs.
int folder_listings(const std::filesystem::path& folder, const std::function<void()>& body) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0 || inotify_add_watch(fd, folder.c_str(), IN_OPEN) < 0) return -1;
  body();
  int listings = 0;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      if ((e->mask & IN_ISDIR) != 0 && e->len == 0) ++listings;  // the folder itself
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  close(fd);
  return listings;
}

TEST(LoadLimits, BrowsingListsTheFolderOncePerPress) {
  Harness h;
  h.dir.write("a.bmp", support::bmp24(2, 1, 0x0000FF));
  for (int i = 0; i < 300; ++i) h.dir.write("b" + std::to_string(i) + ".bmp", "not a picture");
  h.dir.write("c.bmp", support::bmp24(3, 1, 0x00FF00));
  ASSERT_TRUE(h.start("a.bmp")) << h.error;
  bool loaded = false;
  EXPECT_EQ(folder_listings(h.dir.path(), [&] { loaded = core::next_file(h.app); }), 1);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(h.app.current_name, "c.bmp");
  EXPECT_EQ(folder_listings(h.dir.path(), [&] { loaded = core::previous_file(h.app); }), 1);
  EXPECT_EQ(h.app.current_name, "a.bmp");
}

// Every width and height a BMP header can name, through every operation on the picture: the
// sanitizer build catches any overflow.
TEST(LoadLimits, ExtremeHeaderSizesGoThroughEveryOperation) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t sides[] = {kMin, kMin + 1, -1, 0, 1, kMax};
  for (const std::int32_t w : sides) {
    for (const std::int32_t ht : sides) {
      SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(ht));
      Harness h;
      std::string file = support::bmp24(1, 1, 0x123456);
      for (int i = 0; i < 4; ++i) {
        file[18 + i] = static_cast<char>(static_cast<std::uint32_t>(w) >> (8 * i));
        file[22 + i] = static_cast<char>(static_cast<std::uint32_t>(ht) >> (8 * i));
      }
      h.dir.write("x.bmp", file);
      ASSERT_TRUE(h.start("x.bmp")) << h.error;
      core::fit_to_screen(h.app);
      core::flip_x(h.app);
      core::flip_y(h.app);
      core::run_pipeline(h.app);
      core::save_picture(h.app, 24);
      h.app.menus.integer(core::slot::kNewX) = w;
      h.app.menus.integer(core::slot::kNewY) = 3;
      core::resize_picture(h.app);
      core::save_picture(h.app, 16);
      h.screen.extended(platform::scan::kF2).idle(2);
      EXPECT_EQ(h.run(), 0);
    }
  }
}

}  // namespace
