// The second byte of each JPEG marker the decoder acts on (every marker is 0xFF, code).
#pragma once

#include <cstdint>

namespace formats::marker {

constexpr std::uint8_t kPrefix = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;        // SOI
constexpr std::uint8_t kEndOfImage = 0xD9;          // EOI
constexpr std::uint8_t kBaselineFrame = 0xC0;       // SOF0
constexpr std::uint8_t kExtendedFrame = 0xC1;       // SOF1
constexpr std::uint8_t kProgressiveFrame = 0xC2;    // SOF2
constexpr std::uint8_t kHuffmanTables = 0xC4;       // DHT
constexpr std::uint8_t kQuantisationTables = 0xDB;  // DQT
constexpr std::uint8_t kRestartInterval = 0xDD;     // DRI
constexpr std::uint8_t kStartOfScan = 0xDA;         // SOS
constexpr std::uint8_t kApplication1 = 0xE1;        // APP1 (Exif)

}  // namespace formats::marker
