#include "image/image_store.h"

#include <sys/mman.h>
#include <unistd.h>

#include <utility>

namespace img {

BigBuffer::BigBuffer(BigBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

BigBuffer& BigBuffer::operator=(BigBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

BigBuffer::~BigBuffer() {
  release();
}

void BigBuffer::release() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

bool BigBuffer::allocate(std::size_t bytes) {
  release();
  if (bytes == 0) bytes = 1;
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
  if (bytes >= (std::size_t{2} << 20)) madvise(p, bytes, MADV_HUGEPAGE);
#endif
  data_ = p;
  size_ = bytes;
  return true;
}

std::uint64_t physical_memory_bytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page);
}

bool ImageStore::allocate(std::int32_t max_width, std::int32_t max_height, std::string& error) {
  if (max_width < 1 || max_height < 1) {
    error = "the largest picture size must be at least 1 x 1 (maxh = " + std::to_string(max_width) +
            ", maxv = " + std::to_string(max_height) + ")";
    return false;
  }
  const std::size_t plane_bytes =
      static_cast<std::size_t>(max_width) * static_cast<std::size_t>(max_height) * 4;
  maxh = max_width;
  maxv = max_height;
  width = 0;
  height = 0;
  // The planes are only reserved here and filled as pictures come; two that the machine's
  // memory cannot hold would fail later, in the middle of a load, so they are refused now.
  const std::uint64_t memory = physical_memory_bytes();
  if (memory > 0 && plane_bytes > memory / 2) {
    error = "an image store of " + std::to_string(max_width) + " x " + std::to_string(max_height) +
            " pixels (two planes of " + std::to_string(plane_bytes >> 20) +
            " MiB) does not fit in the machine's " + std::to_string(memory >> 20) +
            " MiB of memory";
    return false;
  }
  if (!working_memory.allocate(plane_bytes) || !processed_memory.allocate(plane_bytes) ||
      !row_memory.allocate(static_cast<std::size_t>(max_width) * 8) ||
      !column_memory.allocate(static_cast<std::size_t>(max_height) * 3 + 1)) {
    error = "cannot allocate an image store of " + std::to_string(max_width) + " x " +
            std::to_string(max_height) + " pixels (two planes of " +
            std::to_string(plane_bytes >> 20) + " MiB)";
    return false;
  }
  return true;
}

}  // namespace img
