// Full composes of the view and of a resize, and one plain read of a 64 MiB plane for the
// memory-speed baseline. bench/compose_peer.py times the same sizes with a box resize of
// another library and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/compose.h"
#include "image/image_store.h"
#include "image/resize.h"
#include "image/view.h"

namespace {

using img::Pixel;

// A store whose working image holds a w x h picture of smooth colours with some noise.
img::ImageStore make_store(std::int32_t w, std::int32_t h) {
  img::ImageStore store;
  std::string error;
  if (!store.allocate(w, h, error)) std::abort();
  img::Plane p = store.working();
  std::uint32_t noise = 12345;
  for (std::int32_t y = 0; y < h; ++y) {
    Pixel* row = p.row(y);
    for (std::int32_t x = 0; x < w; ++x) {
      noise = noise * 1664525u + 1013904223u;
      row[x] = img::make_pixel((x * 255 / w + (noise >> 29)) & 0xFF, (y * 255 / h) & 0xFF,
                               ((x + y) >> 4 ^ (noise >> 24)) & 0xFF);
    }
  }
  store.width = w;
  store.height = h;
  return store;
}

// The picture fitted into a screen and composed into its back buffer, as the full redraw
// after a load does (fit, clear, compose).
void view_compose(benchmark::State& state, std::int32_t w, std::int32_t h, std::int32_t screen_w,
                  std::int32_t screen_h) {
  img::ImageStore store = make_store(w, h);
  std::vector<Pixel> back(static_cast<std::size_t>(screen_w) * screen_h);
  img::ComposeWorkspace workspace;
  if (!workspace.reserve(w, screen_w)) std::abort();
  img::ViewState view;
  for (auto _ : state) {
    img::view_update(view, img::Redraw::kFull, true, store.working(), w, h, {back.data(), screen_w},
                     screen_w, screen_h, workspace);
    benchmark::DoNotOptimize(back.data());
    benchmark::ClobberMemory();
  }
  state.counters["display_w"] = view.display_width;
  state.counters["display_h"] = view.display_height;
}

void BM_Fit4096x4096Into800x600(benchmark::State& state) {
  view_compose(state, 4096, 4096, 800, 600);
}
void BM_Fit4000x3000Into640x480(benchmark::State& state) {
  view_compose(state, 4000, 3000, 640, 480);
}

// A 640 x 480 picture resized to 1600 x 1200 (copied to the processed image, composed back
// into the working image).
void BM_Resize640x480To1600x1200(benchmark::State& state) {
  img::ImageStore store = make_store(1600, 1200);
  img::ComposeWorkspace workspace;
  if (!workspace.reserve(1600, 1600)) std::abort();
  for (auto _ : state) {
    store.width = 640;
    store.height = 480;
    if (img::resize_picture(store, 1600, 1200, workspace) != platform::Status::kNone) std::abort();
    benchmark::DoNotOptimize(store.working().px);
    benchmark::ClobberMemory();
  }
}

// One read of every word of a 4096 x 4096 plane: what the shrink above cannot beat.
void BM_ReadPlane64MiB(benchmark::State& state) {
  img::ImageStore store = make_store(4096, 4096);
  const auto* words = reinterpret_cast<const std::uint64_t*>(store.working().px);
  const std::size_t n = std::size_t{4096} * 4096 / 2;
  for (auto _ : state) {
    std::uint64_t a = 0, b = 0, c = 0, d = 0;
    for (std::size_t i = 0; i < n; i += 4) {
      a ^= words[i];
      b ^= words[i + 1];
      c ^= words[i + 2];
      d ^= words[i + 3];
    }
    benchmark::DoNotOptimize(a ^ b ^ c ^ d);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4096 * 4096 * 4);
}

BENCHMARK(BM_Fit4096x4096Into800x600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit4000x3000Into640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resize640x480To1600x1200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPlane64MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
