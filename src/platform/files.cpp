#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

// Signal handlers can reach only process-wide state: the mappings a SIGBUS may hit (one per
// thread that loads, a few at most) and the one temporary file an ending signal must remove.
// Each is set while its object lives.
struct BusSlot {
  std::atomic<const std::uint8_t*> begin{nullptr};
  std::atomic<std::size_t> size{0};
  volatile sig_atomic_t hit = 0;  // written and read by the thread that maps
};
struct BusGuard {
  std::array<BusSlot, 4> slots;
  std::size_t page = 4096;
  std::mutex mutex;  // claims and releases of slots, installing and restoring the handler
  int users = 0;
  struct sigaction previous {};
};
BusGuard g_bus;

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kEndSignalCount = 3;
struct TempGuard {
  char path[PATH_MAX + 32] = {};
  volatile sig_atomic_t active = 0;
  struct sigaction previous[kEndSignalCount] = {};
};
TempGuard g_temp;

// A read past the end of a file that shrank while mapped: the page becomes zeros and the
// read goes on. Any other fault goes to the handler that was there before.
void on_bus_error(int, siginfo_t* info, void*) {
  const auto* at = static_cast<const std::uint8_t*>(info->si_addr);
  for (BusSlot& slot : g_bus.slots) {
    const std::uint8_t* begin = slot.begin.load(std::memory_order_acquire);
    if (begin == nullptr || at < begin || at >= begin + slot.size.load()) continue;
    const std::uint8_t* page = at - (reinterpret_cast<std::uintptr_t>(at) & (g_bus.page - 1));
    if (::mmap(const_cast<std::uint8_t*>(page), g_bus.page, PROT_READ,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      slot.hit = 1;
      return;
    }
    break;
  }
  ::sigaction(SIGBUS, &g_bus.previous, nullptr);  // the fault repeats under the old handler
}

// An ending signal during a save: a handler the program installed runs instead (the save
// then finishes); otherwise the temporary file goes, then the signal ends the program.
void on_end_signal(int sig, siginfo_t* info, void* context) {
  int k = 0;
  while (k + 1 < kEndSignalCount && kEndSignals[k] != sig) ++k;
  const struct sigaction& previous = g_temp.previous[k];
  if ((previous.sa_flags & SA_SIGINFO) != 0) {
    if (previous.sa_sigaction != nullptr) previous.sa_sigaction(sig, info, context);
    return;
  }
  if (previous.sa_handler == SIG_IGN) return;
  if (previous.sa_handler != SIG_DFL) {
    previous.sa_handler(sig);
    return;
  }
  if (g_temp.active != 0) ::unlink(g_temp.path);
  ::signal(sig, SIG_DFL);
  ::raise(sig);  // delivered with the default action once this handler returns
}

sigset_t end_signal_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kEndSignals) sigaddset(&set, sig);
  return set;
}

bool write_all(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Six letters or digits that differ from one call to the next and between processes.
std::string unique_tag() {
  static unsigned counter = 0;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t v = (static_cast<std::uint64_t>(::getpid()) << 32) ^
                    static_cast<std::uint64_t>(now.tv_nsec) ^ (++counter * 0x9E3779B97F4A7C15u);
  std::string tag(6, '0');
  for (char& c : tag) {
    c = "0123456789abcdefghijklmnopqrstuvwxyz"[v % 36];
    v /= 36;
  }
  return tag;
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save must replace: the name itself, or the file its symbolic links lead to;
// "" when that is something other than a regular file or a name not yet taken.
std::string save_target(const std::string& path, struct stat& info, bool& exists) {
  exists = false;
  if (path.empty()) return {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? path : std::string{};
  std::string target = path;
  if (S_ISLNK(info.st_mode)) {
    char* resolved = ::realpath(path.c_str(), nullptr);  // fails for a dangling link
    if (resolved == nullptr) return {};
    target = resolved;
    std::free(resolved);
    if (::stat(target.c_str(), &info) != 0) return {};
  }
  if (!S_ISREG(info.st_mode)) return {};
  exists = true;
  return target;
}

}  // namespace

MappedFile::MappedFile(const std::string& path) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<std::uint64_t>(info.st_size) > SIZE_MAX / 2) {
    ::close(fd);
    return;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  if (size > 0) {
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      ::close(fd);
      return;
    }
    data_ = static_cast<const std::uint8_t*>(p);
    size_ = size;
    mapped_ = size;
    const std::lock_guard lock(g_bus.mutex);
    for (std::size_t i = 0; i < g_bus.slots.size() && slot_ < 0; ++i) {
      if (g_bus.slots[i].begin.load() == nullptr) slot_ = static_cast<int>(i);
    }
    if (slot_ >= 0 && g_bus.users == 0) {
      g_bus.page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
      struct sigaction action {};
      action.sa_sigaction = on_bus_error;
      action.sa_flags = SA_SIGINFO;
      sigemptyset(&action.sa_mask);
      if (::sigaction(SIGBUS, &action, &g_bus.previous) != 0) slot_ = -1;
    }
    if (slot_ >= 0) {
      BusSlot& slot = g_bus.slots[static_cast<std::size_t>(slot_)];
      ++g_bus.users;
      slot.hit = 0;
      slot.size.store(size);
      slot.begin.store(data_, std::memory_order_release);
    }
  }
  ::close(fd);
  ok_ = true;
}

MappedFile::~MappedFile() {
  if (slot_ >= 0) {
    const std::lock_guard lock(g_bus.mutex);
    g_bus.slots[static_cast<std::size_t>(slot_)].begin.store(nullptr);
    if (--g_bus.users == 0) ::sigaction(SIGBUS, &g_bus.previous, nullptr);
  }
  if (mapped_ > 0) ::munmap(const_cast<std::uint8_t*>(data_), mapped_);
}

bool MappedFile::intact() const {
  return slot_ < 0 || g_bus.slots[static_cast<std::size_t>(slot_)].hit == 0;
}

bool file_identity(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.inode = static_cast<std::uint64_t>(info.st_ino);
  identity.size = static_cast<std::int64_t>(info.st_size);
  identity.seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  identity.nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return true;
}

bool read_file(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return false;
  }
  out.resize(std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), limit));
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int saved = errno;
      ::close(fd);
      out.clear();
      errno = saved;
      return false;
    }
    if (n == 0) break;  // the file shrank while being read: take what is there
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  ::close(fd);
  return true;
}

SafeSave::SafeSave(const std::string& path) {
  struct stat old {};
  bool exists = false;
  target_ = save_target(path, old, exists);
  if (target_.empty()) return;
  const std::string folder = folder_of(target_);

  // The ending signals are held while the temporary file comes into being and is made known
  // to their handler, so that no moment leaves it behind.
  const sigset_t ending = end_signal_set();
  sigset_t before;
  ::pthread_sigmask(SIG_BLOCK, &ending, &before);
  const bool registered = g_temp.active == 0;
  if (registered) {
    struct sigaction action {};
    action.sa_sigaction = on_end_signal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int k = 0; k < kEndSignalCount; ++k) {
      ::sigaction(kEndSignals[k], &action, &g_temp.previous[k]);
    }
  }
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    // A short name, so that the longest name the folder allows still saves.
    temp_ = (folder == "/" ? "" : folder) + "/.veldran-" + unique_tag() + ".tmp";
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ >= 0 && registered && temp_.size() < sizeof g_temp.path) {
    std::memcpy(g_temp.path, temp_.c_str(), temp_.size() + 1);
    g_temp.active = 1;
    guarding_ = true;
  } else if (registered) {
    for (int k = 0; k < kEndSignalCount; ++k) {
      ::sigaction(kEndSignals[k], &g_temp.previous[k], nullptr);
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (fd_ < 0) return;

  if (exists) {
    // The old file's owner and group where allowed (always for root), then its mode, which
    // a change of owner may have cut.
    struct stat now {};
    if (::fstat(fd_, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
      if (::fchown(fd_, old.st_uid, old.st_gid) != 0) (void)::fchown(fd_, -1, old.st_gid);
    }
    if (::fchmod(fd_, old.st_mode & 07777) != 0) abandon();
  }
}

SafeSave::~SafeSave() {
  abandon();
}

void SafeSave::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  if (guarding_) {
    guarding_ = false;
    g_temp.active = 0;
    for (int k = 0; k < kEndSignalCount; ++k) {
      ::sigaction(kEndSignals[k], &g_temp.previous[k], nullptr);
    }
  }
}

bool SafeSave::write(const void* data, std::size_t size) {
  if (fd_ < 0) return false;
  if (write_all(fd_, static_cast<const std::uint8_t*>(data), size)) return true;
  abandon();
  return false;
}

Status SafeSave::commit(const BeforeReplace& before_replace) {
  if (fd_ < 0) return Status::kFileNotSaved;
  // On disk before it takes the name, so that a crash leaves the old file or the new one.
  bool ok = ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  if (ok && before_replace) before_replace(temp_);
  // Never rename over anything but a regular file, whatever took the name meanwhile.
  struct stat info {};
  if (ok && ::lstat(target_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) ok = false;
  if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = false;
  if (!ok) {
    abandon();
    return Status::kFileNotSaved;
  }
  temp_.clear();
  abandon();  // only lets the signals go
  // The rename itself reaches the disk with the folder.
  const int folder = ::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    (void)::fsync(folder);
    ::close(folder);
  }
  return Status::kFileSaved;
}

Status save_file(const std::string& path, std::span<const std::uint8_t> bytes) {
  SafeSave save(path);
  if (!save.write(bytes.data(), bytes.size())) return Status::kFileNotSaved;
  return save.commit();
}

}  // namespace platform
