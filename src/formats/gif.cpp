#include "formats/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "formats/scratch.h"

namespace formats {
namespace {

struct MemoryInput {
  std::span<const std::uint8_t> file;
  std::size_t position = 0;
};

int read_input(GifFileType* gif, GifByteType* out, int length) {
  auto* input = static_cast<MemoryInput*>(gif->UserData);
  const std::size_t left = input->file.size() - input->position;
  const std::size_t n = std::min(left, static_cast<std::size_t>(std::max(length, 0)));
  std::memcpy(out, input->file.data() + input->position, n);
  input->position += n;
  return static_cast<int>(n);
}

struct GifClose {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifClose>;

// The frame's rows in the order an interlaced frame stores them: every 8th row from 0,
// every 8th from 4, every 4th from 2, every 2nd from 1.
std::int32_t stored_row(std::int32_t line, std::int32_t height, bool interlaced) {
  if (!interlaced) return line;
  constexpr std::int32_t kFirst[4] = {0, 4, 2, 1};
  constexpr std::int32_t kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const std::int32_t rows =
        kFirst[pass] < height ? (height - kFirst[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (line < rows) return kFirst[pass] + line * kStep[pass];
    line -= rows;
  }
  return height;  // not reached for line < height
}

// The colours of the frame's table, with black for the transparent index and every index
// the table does not have.
std::array<img::Pixel, 256> frame_colours(const ColorMapObject* map, int transparent) {
  std::array<img::Pixel, 256> colours{};
  for (int i = 0; i < 256; ++i) {
    if (map == nullptr) {
      colours[static_cast<std::size_t>(i)] = img::make_pixel(i, i, i);
    } else if (i < map->ColorCount && map->Colors != nullptr) {
      const GifColorType& c = map->Colors[i];
      colours[static_cast<std::size_t>(i)] = img::make_pixel(c.Red, c.Green, c.Blue);
    }
  }
  if (transparent >= 0) colours[static_cast<std::size_t>(transparent)] = 0;
  return colours;
}

// Reads one extension before the first frame; a graphic control block sets the frame's
// transparent index (-1 for none).
bool skip_extension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
    transparent = (block[1] & 1) != 0 ? block[4] : -1;
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

}  // namespace

LoadResult read_gif(std::span<const std::uint8_t> file, img::ImageStore& store) {
  MemoryInput input{file};
  int error = 0;
  const GifHandle gif(DGifOpen(&input, read_input, &error));
  if (!gif) return damaged();
  const std::int32_t width = gif->SWidth;
  const std::int32_t height = gif->SHeight;
  if (width > store.maxh || height > store.maxv) return {platform::Status::kSizeTooLarge, false};
  if (width < 1 || height < 1) return damaged();

  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) return damaged();
    if (type == IMAGE_DESC_RECORD_TYPE) break;
    if (type != EXTENSION_RECORD_TYPE || !skip_extension(gif.get(), transparent)) {
      return damaged();  // the file ends, or holds something else, before its first frame
    }
  }
  if (DGifGetImageDesc(gif.get()) != GIF_OK) return damaged();
  const GifImageDesc& frame = gif->Image;
  if (frame.Width > store.maxh) return {platform::Status::kSizeTooLarge, false};
  if (frame.Width < 1 || frame.Height < 1) return damaged();
  const std::array<img::Pixel, 256> colours =
      frame_colours(frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap, transparent);

  const img::Plane plane = scratch_plane(store);
  for (std::int32_t y = 0; y < height; ++y) std::fill_n(plane.row(y), width, img::Pixel{0});
  // The frame's columns that lie on the screen.
  const std::int32_t first = std::clamp(-frame.Left, 0, frame.Width);
  const std::int32_t end = std::clamp(width - frame.Left, first, frame.Width);
  std::uint8_t* line = store.row_buffer();
  for (std::int32_t i = 0; i < frame.Height; ++i) {
    if (DGifGetLine(gif.get(), line, frame.Width) != GIF_OK) return damaged();
    const std::int32_t y = frame.Top + stored_row(i, frame.Height, frame.Interlace);
    if (y < 0 || y >= height) continue;
    img::Pixel* out = plane.row(y) + frame.Left;
    for (std::int32_t x = first; x < end; ++x) out[x] = colours[line[x]];
  }
  return take_scratch(store, width, height);
}

}  // namespace formats
