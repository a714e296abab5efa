// The image store: two planes of maxv rows by maxh pixel words (the working image and
// the processed image) plus the row and column scratch buffers, allocated once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "image/plane.h"

namespace img {

// Zero-filled memory from the operating system, backed by huge pages where the
// kernel offers them, so that touching a fresh 64 MiB plane costs milliseconds.
class BigBuffer {
 public:
  BigBuffer() = default;
  BigBuffer(const BigBuffer&) = delete;
  BigBuffer& operator=(const BigBuffer&) = delete;
  BigBuffer(BigBuffer&& other) noexcept;
  BigBuffer& operator=(BigBuffer&& other) noexcept;
  ~BigBuffer();

  // Returns false when the memory cannot be had.
  bool allocate(std::size_t bytes);
  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void release();
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

// The machine's physical memory in bytes, or 0 when it cannot be told.
std::uint64_t physical_memory_bytes();

struct ImageStore {
  std::int32_t maxh = 0;   // columns of each plane
  std::int32_t maxv = 0;   // rows of each plane
  std::int32_t width = 0;  // the picture: the top-left width x height rectangle
  std::int32_t height = 0;

  BigBuffer working_memory;
  BigBuffer processed_memory;
  BigBuffer row_memory;     // maxh * 8 bytes: a row of 16-bit RGBA samples at most
  BigBuffer column_memory;  // maxv * 3 + 1 bytes

  Plane working() const { return {static_cast<Pixel*>(working_memory.data()), maxh}; }
  Plane processed() const { return {static_cast<Pixel*>(processed_memory.data()), maxh}; }
  std::uint8_t* row_buffer() const { return static_cast<std::uint8_t*>(row_memory.data()); }
  std::uint8_t* column_buffer() const { return static_cast<std::uint8_t*>(column_memory.data()); }
  bool has_picture() const { return width >= 1 && height >= 1; }

  // Allocates everything for the given maxima; on failure says why in `error`. Two planes
  // larger than the machine's physical memory are refused.
  bool allocate(std::int32_t max_width, std::int32_t max_height, std::string& error);
};

}  // namespace img
