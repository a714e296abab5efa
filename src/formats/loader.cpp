#include "formats/loader.h"

#include "formats/bmp_reader.h"
#include "platform/files.h"

namespace formats {

LoadResult load_picture(const std::string& path, img::ImageStore& store, JpegDecoder& jpeg) {
  const platform::MappedFile file(path);
  if (!file.ok()) return {platform::Status::kUnrecognizedFile, false, false};
  return load_picture_bytes(file.bytes(), store, jpeg);
}

LoadResult load_picture_bytes(std::span<const std::uint8_t> bytes, img::ImageStore& store,
                              JpegDecoder& jpeg) {
  if (bytes.size() >= 2 && bytes[0] == 0x42 && bytes[1] == 0x4D) return read_bmp(bytes, store);
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    return jpeg.decode(bytes, store);
  }
  return {platform::Status::kUnrecognizedFile, false, false};
}

}  // namespace formats
