// Files that change or misbehave under the program: a picture's name taken over while it is
// being saved, names that lead to something other than a file of reasonable size, what a
// save keeps of the file it replaces, and a save cut short by a signal.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "platform/status.h"
#include "test_files.h"

namespace formats_test {
namespace {

namespace fs = std::filesystem;
using platform::Status;

// A 5 x 3 picture in a store of 16 x 16.
struct SmallPicture {
  img::ImageStore store;
  SmallPicture() {
    make_store(store, 16, 16);
    store.width = 5;
    store.height = 3;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) store.working().at(x, y) = img::make_pixel(x * 40, y * 80, 7);
    }
  }
  Status save(const std::string& path, const formats::BeforeReplace& hook = {}) {
    return formats::save_bmp(path, 24, store.working(), 5, 3, {}, 0, store.row_buffer(), hook);
  }
};
constexpr std::uintmax_t kSmallPictureBytes = 54 + 3 * 16;

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
    SmallPicture picture;
    const std::string path = dir.file("pic.bmp");
    std::ofstream(path, std::ios::binary) << "old picture";
    bool called = false;
    const Status m = picture.save(path, [&](const std::string& temp) {
      called = true;
      EXPECT_TRUE(fs::is_regular_file(temp));
      EXPECT_EQ(fs::file_size(temp), kSmallPictureBytes);
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
      EXPECT_EQ(read_bytes(path).size(), kSmallPictureBytes);
    }
    // Only the picture's name is left (a folder left by another program aside).
    const bool foreign_folder =
        std::string(c.what).find("replaced by a folder") != std::string::npos;
    EXPECT_EQ(entries_in(dir.path()), foreign_folder ? 2 : 1);
  }
}

// What the name leads to decides what a save may do: a file is replaced with its mode and
// owner kept, a link's target is replaced and the link stays, and anything that is not a
// regular file (or no file at all behind a link) is left alone with "not saved".
struct NameCase {
  const char* what;
  std::string name;
  // Makes the name inside `dir`; returns "" or why the case cannot run here.
  std::function<std::string(const fs::path& dir, const std::string& name)> make;
  Status expected;
  // The kind of file left at the name, and the path whose stat must match `mode` and owner.
  fs::file_type left;
  std::string checked;  // relative to dir; "" for the name itself
  mode_t mode;          // 0: not checked
  uid_t owner;          // (uid_t)-1: not checked
};

std::string make_file(const fs::path& path, mode_t mode) {
  std::ofstream(path, std::ios::binary) << "old picture";
  return ::chmod(path.c_str(), mode) == 0 ? "" : "cannot set the mode";
}

mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

TEST(SaveKeeps, ModeOwnerAndLinksAndRefusesWhatIsNotAFile) {
  const uid_t nobody = 65534;
  const NameCase cases[] = {
      {"a private file", "pic.bmp",
       [](const fs::path& d, const std::string& n) { return make_file(d / n, 0600); },
       Status::kFileSaved, fs::file_type::regular, "", 0600, static_cast<uid_t>(-1)},
      {"a group-writable file with the set-group bit", "pic.bmp",
       [](const fs::path& d, const std::string& n) { return make_file(d / n, 02664); },
       Status::kFileSaved, fs::file_type::regular, "", 02664, static_cast<uid_t>(-1)},
      {"another user's file, saved by root", "pic.bmp",
       [nobody](const fs::path& d, const std::string& n) {
         if (::geteuid() != 0) return std::string("changing a file's owner needs root");
         make_file(d / n, 0640);
         return std::string(::chown((d / n).c_str(), nobody, nobody) == 0 ? "" : "chown failed");
       },
       Status::kFileSaved, fs::file_type::regular, "", 0640, nobody},
      {"a new name", "pic.bmp", [](const fs::path&, const std::string&) { return std::string(); },
       Status::kFileSaved, fs::file_type::regular, "", 0666 & ~current_umask(),
       static_cast<uid_t>(-1)},
      {"a link to a file in another folder", "pic.bmp",
       [](const fs::path& d, const std::string& n) {
         fs::create_directory(d / "sub");
         fs::create_symlink("sub/real.bmp", d / n);
         return make_file(d / "sub/real.bmp", 0604);
       },
       Status::kFileSaved, fs::file_type::symlink, "sub/real.bmp", 0604, static_cast<uid_t>(-1)},
      {"a dangling link", "pic.bmp",
       [](const fs::path& d, const std::string& n) {
         fs::create_symlink("gone.bmp", d / n);
         return std::string();
       },
       Status::kFileNotSaved, fs::file_type::symlink, "", 0, static_cast<uid_t>(-1)},
      {"a named pipe", "pic.bmp",
       [](const fs::path& d, const std::string& n) {
         return ::mkfifo((d / n).c_str(), 0644) == 0 ? "" : "mkfifo failed";
       },
       Status::kFileNotSaved, fs::file_type::fifo, "", 0, static_cast<uid_t>(-1)},
      {"a character device like /dev/null", "pic.bmp",
       [](const fs::path& d, const std::string& n) {
         if (::mknod((d / n).c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) return std::string();
         return "cannot make a device here: " + std::string(std::strerror(errno));
       },
       Status::kFileNotSaved, fs::file_type::character, "", 0, static_cast<uid_t>(-1)},
      {"a socket", "pic.bmp",
       [](const fs::path& d, const std::string& n) {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string path = (d / n).string();
         if (path.size() >= sizeof address.sun_path) return std::string("path too long");
         std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
         const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
         const int r = ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
         ::close(s);
         return std::string(r == 0 ? "" : "bind failed");
       },
       Status::kFileNotSaved, fs::file_type::socket, "", 0, static_cast<uid_t>(-1)},
      {"the longest name a folder allows", std::string(251, 'n') + ".bmp",
       [](const fs::path& d, const std::string& n) { return make_file(d / n, 0644); },
       Status::kFileSaved, fs::file_type::regular, "", 0644, static_cast<uid_t>(-1)},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string why = c.make(dir.path(), c.name);
    if (!why.empty()) {
      std::printf("[  SKIPPED ] %s: %s\n", c.what, why.c_str());
      continue;
    }
    const int entries = entries_in(dir.path());
    SmallPicture picture;
    EXPECT_EQ(picture.save(dir.file(c.name)), c.expected);
    EXPECT_EQ(fs::symlink_status(dir.file(c.name)).type(), c.left);
    const std::string checked = dir.file(c.checked.empty() ? c.name : c.checked);
    struct stat info {};
    if (c.expected == Status::kFileSaved) {
      ASSERT_EQ(::stat(checked.c_str(), &info), 0);
      EXPECT_EQ(static_cast<std::uintmax_t>(info.st_size), kSmallPictureBytes);
      if (c.mode != 0) {
        EXPECT_EQ(info.st_mode & 07777, c.mode);
      }
      if (c.owner != static_cast<uid_t>(-1)) {
        EXPECT_EQ(info.st_uid, c.owner);
        EXPECT_EQ(info.st_gid, c.owner);
      }
    }
    // Nothing created, nothing left behind (a new name is the one entry a save adds).
    EXPECT_EQ(entries_in(dir.path()), entries + (std::string(c.what) == "a new name" ? 1 : 0));
  }
}

// A save ended by SIGINT or SIGTERM while its temporary file exists: the signal still ends
// the program, the old file keeps its bytes and the temporary file is gone.
TEST(SaveInterrupted, EndingSignalRemovesTheTemporaryFile) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    TempDir dir;
    const std::string path = dir.file("pic.bmp");
    std::ofstream(path, std::ios::binary) << "old picture";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SmallPicture picture;
      picture.save(path, [sig](const std::string&) { ::raise(sig); });
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
    const Bytes b = read_bytes(path);
    EXPECT_EQ(std::string(b.begin(), b.end()), "old picture");
    EXPECT_EQ(entries_in(dir.path()), 1) << "the temporary file was left";
  }
}

// The order of the steps that make a save durable, seen from the system calls: the new
// bytes reach the disk before the rename, and the folder after it.
std::vector<std::string>* g_calls = nullptr;

std::string path_of(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  return fs::read_symlink(link).filename().string();
}

}  // namespace
}  // namespace formats_test

extern "C" int fsync(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  if (formats_test::g_calls != nullptr) {
    formats_test::g_calls->push_back("fsync " + formats_test::path_of(fd));
  }
  return real(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  static const auto real =
      reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"));
  if (formats_test::g_calls != nullptr) {
    formats_test::g_calls->push_back("rename " + std::filesystem::path(from).filename().string() +
                                     " " + std::filesystem::path(to).filename().string());
  }
  return real(from, to);
}

namespace formats_test {
namespace {

TEST(SaveDurable, FileFlushedBeforeRenameFolderAfter) {
  TempDir dir;
  std::string temp;
  std::vector<std::string> calls;
  g_calls = &calls;
  const Status m = SmallPicture().save(
      dir.file("pic.bmp"), [&](const std::string& t) { temp = fs::path(t).filename().string(); });
  g_calls = nullptr;
  EXPECT_EQ(m, Status::kFileSaved);
  const std::vector<std::string> expected = {"fsync " + temp, "rename " + temp + " pic.bmp",
                                             "fsync " + dir.path().filename().string()};
  EXPECT_EQ(calls, expected);
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
    const auto r = formats::load_picture(dir.file("pipe.jpg"), store, *jpeg);
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
    const auto r = formats::load_picture(path, store, *jpeg);
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
