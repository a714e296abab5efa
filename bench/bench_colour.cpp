// The colour stages on real photographs: the palette stage (Pal size 256 and 16), colour
// reduction by each method, and one plain lookup-table pass over the same pixels as the
// baseline. bench/colour_peer.sh runs this beside another program's palette reduction and
// prints the ratios.
//
// Pictures: bench/pictures/p1_1152x864.bmp and the 12-megapixel BMP the build makes from
// p12_4000x3000_444.jpg with djpeg (skipped when it is missing). Every case copies the working
// image into the processed image with the timer paused, then times the stage alone, as the pipeline
// runs it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "image/image_store.h"
#include "image/palette.h"
#include "image/pipeline.h"
#include "image/reduce.h"

namespace {

using img::Pixel;

// Reads an uncompressed 24-bit BMP into the working image of a new store.
bool load_bmp24(const std::string& path, img::ImageStore& store) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::vector<std::uint8_t> file;
  std::uint8_t chunk[1 << 16];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
    file.insert(file.end(), chunk, chunk + n);
  std::fclose(f);
  auto u32 = [&](std::size_t at) {
    return std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8 |
           std::uint32_t{file[at + 2]} << 16 | std::uint32_t{file[at + 3]} << 24;
  };
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || file[28] != 24) return false;
  const std::uint32_t offset = u32(10);
  const auto w = static_cast<std::int32_t>(u32(18));
  const auto h = static_cast<std::int32_t>(u32(22));
  const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
  if (w < 1 || h < 1 || offset + stride * h > file.size()) return false;
  std::string error;
  if (!store.allocate(w, h, error)) return false;
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint8_t* src = file.data() + offset + stride * (h - 1 - y);
    Pixel* row = store.working().row(y);
    for (std::int32_t x = 0; x < w; ++x, src += 3) row[x] = img::make_pixel(src[2], src[1], src[0]);
  }
  store.width = w;
  store.height = h;
  return true;
}

void copy_picture(const img::ImageStore& s) {
  for (std::int32_t y = 0; y < s.height; ++y)
    std::copy(s.working().row(y), s.working().row(y) + s.width, s.processed().row(y));
}

img::ColourSettings reduction(bool dithering, bool floyd_steinberg, bool intensity = false) {
  img::ColourSettings s;
  s.adjust_depth = true;
  s.red_levels = 8;
  s.green_levels = 8;
  s.blue_levels = 4;
  s.dithering = dithering;
  s.floyd_steinberg = floyd_steinberg;
  s.intensity_bit = intensity;
  return s;
}

// Times `stage` on the processed image, restored from the working image before each run.
template <typename Stage>
void run_stage(benchmark::State& state, const img::ImageStore& store, Stage stage) {
  for (auto _ : state) {
    state.PauseTiming();
    copy_picture(store);
    state.ResumeTiming();
    stage(store.processed(), store.width, store.height);
    benchmark::ClobberMemory();
  }
  state.counters["megapixels"] = store.width * static_cast<double>(store.height) / 1e6;
}

void register_picture(const std::string& name, const std::string& path) {
  auto store = std::make_shared<img::ImageStore>();
  if (!load_bmp24(path, *store)) {
    std::fprintf(stderr, "bench_colour: %s not found or not a 24-bit BMP; skipped\n", path.c_str());
    return;
  }
  auto palette = std::make_shared<img::PaletteList>();
  if (!palette->ok()) return;

  // The baseline: one table lookup per component, read and written in place.
  benchmark::RegisterBenchmark(("LookupPass/" + name).c_str(), [store](benchmark::State& st) {
    std::array<std::uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) table[v] = static_cast<std::uint8_t>((v * 7) / 8);
    run_stage(st, *store, [&](img::Plane p, std::int32_t w, std::int32_t h) {
      for (std::int32_t y = 0; y < h; ++y) {
        Pixel* row = p.row(y);
        for (std::int32_t x = 0; x < w; ++x) {
          const Pixel q = row[x];
          row[x] = (Pixel{table[(q >> 16) & 0xFF]} << 16) | (Pixel{table[(q >> 8) & 0xFF]} << 8) |
                   Pixel{table[q & 0xFF]};
        }
      }
    });
  });
  struct Method {
    const char* name;
    img::ColourSettings settings;
  };
  const Method methods[] = {{"Plain", reduction(false, false)},
                            {"Ordered", reduction(true, false)},
                            {"FloydSteinberg", reduction(true, true)},
                            {"PlainIntensity", reduction(false, false, true)},
                            {"GreyFloydSteinberg", [] {
                               auto s = reduction(true, true);
                               s.greyscale = true;
                               return s;
                             }()}};
  for (const Method& m : methods) {
    const img::ColourSettings s = m.settings;
    benchmark::RegisterBenchmark(
        ("Reduce" + std::string(m.name) + "/" + name).c_str(), [store, s](benchmark::State& st) {
          run_stage(st, *store, [&](img::Plane p, std::int32_t w, std::int32_t h) {
            img::reduce_colours(p, w, h, s);
          });
        });
  }
  for (const std::int32_t pal_size : {256, 16, 1 << 18}) {
    benchmark::RegisterBenchmark(
        ("Palette" + std::to_string(pal_size) + "/" + name).c_str(),
        [store, palette, pal_size](benchmark::State& st) {
          std::int32_t count = 0;
          run_stage(st, *store, [&](img::Plane p, std::int32_t w, std::int32_t h) {
            count = img::build_and_map_palette(p, w, h, pal_size, *palette);
          });
          st.counters["palette_count"] = count;
        })
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_picture("p1_1152x864", std::string(VELDRAN_BENCH_PICTURES) + "/p1_1152x864.bmp");
  register_picture("p12_4000x3000", VELDRAN_BENCH_LARGE_BMP);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
