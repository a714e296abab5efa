// The orientation tag of a JPEG file's Exif block: how the stored pixels must be mirrored
// and turned to stand upright (1 as stored, 2 to 8 the other seven ways).
#pragma once

#include <cstdint>
#include <span>

namespace formats {

// The orientation (1 to 8) in the payload of an APP1 segment (after its length field);
// 1 when the segment is not Exif, holds no orientation tag, or is damaged in any way.
int exif_orientation(std::span<const std::uint8_t> payload);

}  // namespace formats
