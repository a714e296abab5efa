// Files that change or misbehave under the program: a picture's name taken over while it is
// being saved, and names that lead to something other than a file of reasonable size.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <memory>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "platform/status.h"
#include "test_files.h"

namespace formats_test {
namespace {

namespace fs = std::filesystem;
using platform::Status;

int entries_in(const fs::path& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    (void)e;
    ++n;
  }
  return n;
}

struct Interruption {
  const char* what;
  // Runs between the write and the rename, given the picture's and the temporary file's paths.
  std::function<void(const std::string& path, const std::string& temp)> act;
  Status expected;
  // What the picture's name holds afterwards: "" for the new picture, else these bytes, or
  // "<folder>".
  std::string left_at_name;
};

TEST(SaveInterrupted, NameTakenOverBetweenWriteAndRename) {
  const Interruption cases[] = {
      {"the name becomes a folder",
       [](const std::string& path, const std::string&) {
         fs::remove(path);
         fs::create_directory(path);
       },
       Status::kFileNotSaved, "<folder>"},
      {"the temporary file is removed",
       [](const std::string&, const std::string& temp) { fs::remove(temp); }, Status::kFileNotSaved,
       "old picture"},
      {"the temporary file is replaced by a folder",
       [](const std::string&, const std::string& temp) {
         fs::remove(temp);
         fs::create_directory(temp);
       },
       Status::kFileNotSaved, "old picture"},
      // Another program's new version loses to the save, but never to half a file.
      {"the file is replaced by another",
       [](const std::string& path, const std::string&) {
         std::ofstream(path, std::ios::binary | std::ios::trunc) << "another program's";
       },
       Status::kFileSaved, ""},
  };
  for (const Interruption& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    img::ImageStore store;
    make_store(store, 16, 16);
    store.width = 5;
    store.height = 3;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) store.working().at(x, y) = img::make_pixel(x * 40, y * 80, 7);
    }
    const std::string path = dir.file("pic.bmp");
    std::ofstream(path, std::ios::binary) << "old picture";
    bool called = false;
    const Status m = formats::save_bmp(path, 24, store.working(), 5, 3, {}, 0, store.row_buffer(),
                                       [&](const std::string& temp) {
                                         called = true;
                                         EXPECT_TRUE(fs::is_regular_file(temp));
                                         EXPECT_EQ(fs::file_size(temp), 54u + 3u * 16u);
                                         c.act(path, temp);
                                       });
    EXPECT_TRUE(called);
    EXPECT_EQ(m, c.expected);
    if (c.left_at_name == "<folder>") {
      EXPECT_TRUE(fs::is_directory(path));
    } else if (!c.left_at_name.empty()) {
      const Bytes b = read_bytes(path);
      EXPECT_EQ(std::string(b.begin(), b.end()), c.left_at_name);
    } else {
      EXPECT_EQ(read_bytes(path).size(), 54u + 3u * 16u);
    }
    // Only the picture's name is left (a folder left by another program aside).
    const bool foreign_folder =
        std::string(c.what).find("replaced by a folder") != std::string::npos;
    EXPECT_EQ(entries_in(dir.path()), foreign_folder ? 2 : 1);
  }
}

// Opening a named pipe waits for a writer unless told not to; the load must come back at
// once with "unrecognized". Run in a child with an alarm, so that a hang fails the test.
TEST(LoadOddFiles, NamedPipeIsRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("pipe.jpg").c_str(), 0644), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(5);
    img::ImageStore store;
    make_store(store, 8, 8);
    auto jpeg = std::make_unique<formats::JpegDecoder>();
    std::vector<std::uint8_t> buffer;
    const auto r = formats::load_picture(dir.file("pipe.jpg"), store, *jpeg, buffer);
    _exit(r.message == Status::kUnrecognizedFile && !r.name_taken ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_FALSE(WIFSIGNALED(status)) << "the load hung (signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

#if defined(__SANITIZE_ADDRESS__)
#define VELDRAN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELDRAN_ADDRESS_SANITIZER 1
#endif
#endif

// A picture signature at the start of a file far larger than memory (a sparse terabyte):
// refused as unrecognized instead of ending the program when the memory is not there.
TEST(LoadOddFiles, FileTooLargeToHoldIsRefused) {
#ifdef VELDRAN_ADDRESS_SANITIZER
  GTEST_SKIP() << "AddressSanitizer ends the program on an allocation it cannot make";
#else
  TempDir dir;
  const std::string path = dir.file("huge.bmp");
  { std::ofstream(path, std::ios::binary) << "BM"; }
  std::error_code ec;
  fs::resize_file(path, std::uintmax_t{1} << 40, ec);
  if (ec) GTEST_SKIP() << "cannot make a sparse terabyte file here: " << ec.message();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A limit on the address space makes the refusal certain whatever the machine holds.
    const rlim_t gib = rlim_t{1} << 30;
    const rlimit limit{gib, gib};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    alarm(20);
    img::ImageStore store;
    make_store(store, 8, 8);
    auto jpeg = std::make_unique<formats::JpegDecoder>();
    std::vector<std::uint8_t> buffer;
    const auto r = formats::load_picture(path, store, *jpeg, buffer);
    _exit(r.message == Status::kUnrecognizedFile ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the load ended the program (signal " << WTERMSIG(status)
                                 << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

}  // namespace
}  // namespace formats_test
