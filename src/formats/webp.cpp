#include "formats/webp.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "formats/scratch.h"

namespace formats {
namespace {

struct AnimationDelete {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// The first frame of an animation, composed on the canvas by libwebp's own buffer.
bool read_first_frame(std::span<const std::uint8_t> file, img::Plane plane, std::int32_t width,
                      std::int32_t height) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return false;
  options.color_mode = MODE_RGBA;
  options.use_threads = 0;
  const WebPData data{file.data(), file.size()};
  const std::unique_ptr<WebPAnimDecoder, AnimationDelete> decoder(
      WebPAnimDecoderNew(&data, &options));
  WebPAnimInfo info{};
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info) ||
      info.canvas_width != static_cast<std::uint32_t>(width) ||
      info.canvas_height != static_cast<std::uint32_t>(height)) {
    return false;
  }
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || canvas == nullptr) {
    return false;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    rgba_row_over_black(canvas + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4,
                        plane.row(y), width);
  }
  return true;
}

}  // namespace

LoadResult read_webp(std::span<const std::uint8_t> file, img::ImageStore& store) {
  WebPBitstreamFeatures features{};
  if (WebPGetFeatures(file.data(), file.size(), &features) != VP8_STATUS_OK) return damaged();
  const std::int32_t width = features.width;
  const std::int32_t height = features.height;
  if (width > store.maxh || height > store.maxv) return {platform::Status::kSizeTooLarge, false};
  if (width < 1 || height < 1) return damaged();

  const img::Plane plane = scratch_plane(store);
  if (features.has_animation) {
    if (!read_first_frame(file, plane, width, height)) return damaged();
    return take_scratch(store, width, height);
  }
  // A still picture decodes straight into the plane, then each row turns into pixel words
  // where it lies.
  const std::size_t stride = static_cast<std::size_t>(plane.stride) * 4;
  auto* bytes = reinterpret_cast<std::uint8_t*>(plane.px);
  if (WebPDecodeRGBAInto(file.data(), file.size(), bytes, stride * static_cast<std::size_t>(height),
                         static_cast<int>(stride)) == nullptr) {
    return damaged();
  }
  for (std::int32_t y = 0; y < height; ++y) {
    rgba_row_over_black(bytes + static_cast<std::size_t>(y) * stride, plane.row(y), width);
  }
  return take_scratch(store, width, height);
}

}  // namespace formats
