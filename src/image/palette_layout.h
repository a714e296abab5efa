// Shared details of the palette stage's files: sizes of the workspace, the order of list
// entries while merging, and the key octree used for mapping.
#pragma once

#include <cstddef>
#include <cstdint>

namespace img::palette {

// The largest squared distance between two keys, in 6-bit units: 3 * 63^2.
constexpr std::uint32_t kMaxNorm = 3 * 63 * 63;

// Candidate lists per octree depth: the whole palette, then depths 1 to 7.
constexpr std::size_t kCandidateLevels = 8;

// Octree nodes: 8^0 + 8^1 + ... + 8^6.
constexpr std::size_t kOccupancyNodes = (std::size_t{1} << 21) / 7 + 1;

constexpr std::uint32_t component(std::uint32_t key, int shift) {
  return (key >> shift) & 63;
}

// Squared length of an offset packed like a key.
constexpr std::uint32_t squared_length(std::uint32_t key) {
  const std::uint32_t b = component(key, 12), g = component(key, 6), r = component(key, 0);
  return b * b + g * g + r * r;
}

// Position order of the list: larger counts first, then smaller sequence numbers.
constexpr std::uint64_t rank(std::uint32_t count, std::uint32_t seq) {
  return (std::uint64_t{0xFFFFFFFFu - count} << 32) | seq;
}
constexpr std::uint32_t rank_seq(std::uint64_t r) {
  return static_cast<std::uint32_t>(r);
}

// Index of the node at `depth` whose cell coordinates (each 0 .. 2^depth - 1) are given.
constexpr std::size_t node_index(int depth, std::int32_t b, std::int32_t g, std::int32_t r) {
  const std::size_t before = ((std::size_t{1} << (3 * depth)) - 1) / 7;
  return before + ((static_cast<std::size_t>(b) << (2 * depth)) |
                   (static_cast<std::size_t>(g) << depth) | static_cast<std::size_t>(r));
}

}  // namespace img::palette
