// Rotations of the shared photographs in memory: a resampled 30 degrees on one thread and on
// two, and an exact quarter turn. bench/rotate_peer.sh times whole commands against
// ImageMagick's and measures the quality of a turn and its reverse.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/loader.h"
#include "image/image_store.h"
#include "image/rotate.h"

namespace {

using img::Pixel;

// A store large enough for the turned picture, and the picture itself to restore each time.
struct Loaded {
  img::ImageStore store;
  std::int32_t w = 0, h = 0;
  std::vector<Pixel> picture;
};

Loaded& photograph(const std::string& name) {
  static std::map<std::string, std::unique_ptr<Loaded>> cache;
  std::unique_ptr<Loaded>& slot = cache[name];
  if (slot) return *slot;
  slot = std::make_unique<Loaded>();
  std::string error;
  if (!slot->store.allocate(6000, 6000, error)) std::abort();
  auto jpeg = std::make_unique<formats::JpegDecoder>();
  formats::load_picture(std::string(VELDRAN_BENCH_PICTURES) + "/" + name, slot->store, *jpeg);
  if (!slot->store.has_picture()) std::abort();
  slot->w = slot->store.width;
  slot->h = slot->store.height;
  for (std::int32_t y = 0; y < slot->h; ++y) {
    const Pixel* row = slot->store.working().row(y);
    slot->picture.insert(slot->picture.end(), row, row + slot->w);
  }
  return *slot;
}

void restore(Loaded& p) {
  for (std::int32_t y = 0; y < p.h; ++y) {
    std::copy_n(p.picture.data() + std::size_t(y) * p.w, p.w, p.store.working().row(y));
  }
  p.store.width = p.w;
  p.store.height = p.h;
}

void rotate(benchmark::State& state, const std::string& name, float degrees, int threads) {
  Loaded& p = photograph(name);
  for (auto _ : state) {
    state.PauseTiming();
    restore(p);
    state.ResumeTiming();
    if (img::rotate_picture(p.store, degrees, threads) != platform::Status::kNone) std::abort();
    benchmark::ClobberMemory();
  }
  state.counters["Mpixel/s"] =
      benchmark::Counter(static_cast<double>(p.store.width) * p.store.height * 1e-6 *
                             static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_Rotate30_1MP_1Thread(benchmark::State& s) {
  rotate(s, "p1_1152x864.bmp", 30, 1);
}
void BM_Rotate30_1MP_2Threads(benchmark::State& s) {
  rotate(s, "p1_1152x864.bmp", 30, 2);
}
void BM_Rotate30_12MP_1Thread(benchmark::State& s) {
  rotate(s, "p12_4000x3000_444.jpg", 30, 1);
}
void BM_Rotate30_12MP_2Threads(benchmark::State& s) {
  rotate(s, "p12_4000x3000_444.jpg", 30, 2);
}
void BM_Rotate90_12MP_2Threads(benchmark::State& s) {
  rotate(s, "p12_4000x3000_444.jpg", 90, 2);
}

BENCHMARK(BM_Rotate30_1MP_1Thread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate30_1MP_2Threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate30_12MP_1Thread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate30_12MP_2Threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate90_12MP_2Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
