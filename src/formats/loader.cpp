#include "formats/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>

#include "formats/bmp_reader.h"

namespace formats {

namespace {

bool is_picture_signature(const std::uint8_t* b) {
  return (b[0] == 0x42 && b[1] == 0x4D) || (b[0] == 0xFF && b[1] == 0xD8);
}

// Grows `buffer` to at least `size` bytes; false when the memory cannot be had (a file too
// large to hold is then refused like any file that cannot be read).
bool hold(std::vector<std::uint8_t>& buffer, std::size_t size) {
  if (buffer.size() >= size) return true;
  try {
    buffer.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

// Reads the file into `buffer`; with `pictures_only`, a file that does not start with a
// picture signature is left unread past its first two bytes (-1 is returned).
std::int64_t read_file(const std::string& path, std::vector<std::uint8_t>& buffer,
                       bool pictures_only) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer that may never come;
  // for the regular files read below the flag changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  std::size_t done = 0;
  std::uint8_t head[2] = {};
  if (pictures_only) {
    while (done < 2) {
      const ssize_t n = ::read(fd, head + done, 2 - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (done < 2 || !is_picture_signature(head)) {
      ::close(fd);
      return -1;
    }
  }
  if (!hold(buffer, std::max<std::size_t>(size, done))) {
    ::close(fd);
    return -1;
  }
  if (pictures_only) {
    buffer[0] = head[0];
    buffer[1] = head[1];
  }
  while (done < size) {
    const ssize_t n = ::read(fd, buffer.data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return -1;
    }
    if (n == 0) break;  // the file shrank while being read: take what is there
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return static_cast<std::int64_t>(done);
}

}  // namespace

std::int64_t read_whole_file(const std::string& path, std::vector<std::uint8_t>& buffer) {
  return read_file(path, buffer, false);
}

LoadResult load_picture(const std::string& path, img::ImageStore& store, JpegDecoder& jpeg,
                        std::vector<std::uint8_t>& file_buffer) {
  // Only picture files are read whole: browsing over a large file of another kind costs
  // two bytes.
  const std::int64_t size = read_file(path, file_buffer, true);
  if (size < 0) return {platform::Status::kUnrecognizedFile, false};
  return load_picture_bytes({file_buffer.data(), static_cast<std::size_t>(size)}, store, jpeg);
}

LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg) {
  if (bytes.size() >= 2 && bytes[0] == 0x42 && bytes[1] == 0x4D) return read_bmp(bytes, store);
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    return jpeg.decode(bytes, store);
  }
  return {platform::Status::kUnrecognizedFile, false};
}

}  // namespace formats
