#include "formats/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <string_view>

#include "formats/bmp_reader.h"
#include "formats/gif.h"
#include "formats/png.h"
#include "formats/webp.h"

namespace formats {

namespace {

enum class Kind { kNone, kBmp, kJpeg, kPng, kGif, kWebp };

// The signature bytes that identify each kind; the longest is 12 bytes.
constexpr std::size_t kSignatureBytes = 12;

bool starts_with(std::span<const std::uint8_t> bytes, std::string_view text, std::size_t at = 0) {
  if (bytes.size() < at + text.size()) return false;
  return std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

Kind kind_of(std::span<const std::uint8_t> bytes) {
  if (starts_with(bytes, "BM")) return Kind::kBmp;
  if (starts_with(bytes, "\xFF\xD8")) return Kind::kJpeg;
  if (starts_with(bytes, "\x89PNG\r\n\x1A\n")) return Kind::kPng;
  if (starts_with(bytes, "GIF87a") || starts_with(bytes, "GIF89a")) return Kind::kGif;
  if (starts_with(bytes, "RIFF") && starts_with(bytes, "WEBP", 8)) return Kind::kWebp;
  return Kind::kNone;
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
// picture signature is left unread past its first bytes (-1 is returned).
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
  std::uint8_t head[kSignatureBytes] = {};
  if (pictures_only) {
    while (done < kSignatureBytes) {
      const ssize_t n = ::read(fd, head + done, kSignatureBytes - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (kind_of({head, done}) == Kind::kNone) {
      ::close(fd);
      return -1;
    }
  }
  if (!hold(buffer, std::max<std::size_t>(size, done))) {
    ::close(fd);
    return -1;
  }
  if (pictures_only) std::copy_n(head, done, buffer.begin());
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
  // a few bytes.
  const std::int64_t size = read_file(path, file_buffer, true);
  if (size < 0) return {platform::Status::kUnrecognizedFile, false};
  return load_picture_bytes({file_buffer.data(), static_cast<std::size_t>(size)}, store, jpeg);
}

LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg) {
  switch (kind_of(bytes)) {
    case Kind::kBmp:
      return read_bmp(bytes, store);
    case Kind::kJpeg:
      return jpeg.decode(bytes, store);
    case Kind::kPng:
      return read_png(bytes, store);
    case Kind::kGif:
      return read_gif(bytes, store);
    case Kind::kWebp:
      return read_webp(bytes, store);
    case Kind::kNone:
      break;
  }
  return {platform::Status::kUnrecognizedFile, false};
}

}  // namespace formats
