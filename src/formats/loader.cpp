#include "formats/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "formats/bmp_reader.h"

namespace formats {

std::int64_t read_whole_file(const std::string& path, std::vector<std::uint8_t>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  if (buffer.size() < size) buffer.resize(size);
  std::size_t done = 0;
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

LoadResult load_picture(const std::string& path, img::ImageStore& store, JpegDecoder& jpeg,
                        std::vector<std::uint8_t>& file_buffer) {
  const std::int64_t size = read_whole_file(path, file_buffer);
  if (size < 0) return {menu::Message::kUnrecognizedFile, false};
  return load_picture_bytes({file_buffer.data(), static_cast<std::size_t>(size)}, store, jpeg);
}

LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg) {
  if (bytes.size() >= 2 && bytes[0] == 0x42 && bytes[1] == 0x4D) return read_bmp(bytes, store);
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    return jpeg.decode(bytes, store);
  }
  return {menu::Message::kUnrecognizedFile, false};
}

}  // namespace formats
