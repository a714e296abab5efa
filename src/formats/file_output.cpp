#include "formats/file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace formats {
namespace {

// Creates a fresh file beside `path`; returns its descriptor or -1.
int create_temporary(const std::string& path, std::string& temp_path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%d.tmp", static_cast<long>(::getpid()), attempt);
    temp_path = folder + "." + base + suffix;
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  fd_ = create_temporary(path_, temp_path_);
  ok_ = fd_ >= 0;
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_path_.c_str());
  }
}

bool ReplacingFile::write(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (ok_ && size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok_ = false;
      break;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return ok_;
}

platform::Status ReplacingFile::finish(const BeforeReplace& before_replace) {
  if (fd_ < 0) return platform::Status::kFileNotSaved;
  if (::close(fd_) != 0) ok_ = false;
  fd_ = -1;
  if (ok_ && before_replace) before_replace(temp_path_);
  if (ok_ && ::rename(temp_path_.c_str(), path_.c_str()) != 0) ok_ = false;
  if (!ok_) {
    ::unlink(temp_path_.c_str());
    return platform::Status::kFileNotSaved;
  }
  return platform::Status::kFileSaved;
}

}  // namespace formats
