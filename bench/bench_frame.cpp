// The benchmark mode's cycle, measured headless at 800 x 600 with `Automatic` on: one whole
// pass (reload, pipeline, compose, present with the menus) per iteration, and each of its
// parts alone, beside libjpeg-turbo decoding the same file in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "bench_support.h"
#include "core/app.h"
#include "core/operations.h"
#include "core/startup.h"
#include "menu/render.h"
#include "platform/scripted_screen.h"

namespace {

const char* const kPictures[] = {"p1_1152x864_420.jpg", "p12_4000x3000_420.jpg"};

// One App on a scripted 800 x 600 screen with the picture loaded, in a folder of its own.
struct Rig {
  std::filesystem::path folder;
  platform::ScriptedScreen screen;
  std::unique_ptr<core::App> app;

  explicit Rig(const std::string& picture) {
    folder = std::filesystem::temp_directory_path() / ("veldran-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    std::ofstream("VELDRAN.INI", std::ios::binary)
        << "mode = 19\r\ncdep = 32\r\nmaxh = 4096\r\nmaxv = 4096\r\n";
    const std::filesystem::path source = std::filesystem::path(VELDRAN_BENCH_PICTURES) / picture;
    std::filesystem::remove(folder / picture);
    std::filesystem::create_symlink(source, folder / picture);
    app = std::make_unique<core::App>(screen);
    std::string error;
    std::vector<std::string> warnings;
    if (!core::start_up(*app, "VELDRAN.INI", picture, error, warnings)) {
      std::fprintf(stderr, "start-up failed: %s\n", error.c_str());
      std::abort();
    }
    // Warm up: a few benchmark passes touch every buffer.
    for (int i = 0; i < 3; ++i) pass();
  }

  // One benchmark pass: present what the last pass asked for, then reload.
  void pass() {
    app->frame.interaction_mode = core::kBenchmarkMode;
    veldran::run_pass(*app);
  }
};

Rig& rig(int index) {
  static std::unique_ptr<Rig> rigs[2];
  if (!rigs[index]) rigs[index] = std::make_unique<Rig>(kPictures[index]);
  return *rigs[index];
}

void label(benchmark::State& state, int index) {
  state.SetLabel(kPictures[index]);
}

void BM_BenchmarkPass(benchmark::State& state) {
  Rig& r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) r.pass();
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  label(state, static_cast<int>(state.range(0)));
}

void BM_Decode(benchmark::State& state) {
  Rig& r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    r.app->requested_name = r.app->current_name;
    core::load_requested_picture(*r.app);
  }
  label(state, static_cast<int>(state.range(0)));
}

void BM_Pipeline(benchmark::State& state) {
  Rig& r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) core::run_pipeline(*r.app);
  label(state, static_cast<int>(state.range(0)));
}

void BM_ComposeFull(benchmark::State& state) {
  Rig& r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    r.app->frame.redraw_request = img::Redraw::kFull;
    core::update_view(*r.app);
  }
  label(state, static_cast<int>(state.range(0)));
}

void BM_Present(benchmark::State& state) {
  Rig& r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) core::present_back_buffer(*r.app);
  label(state, static_cast<int>(state.range(0)));
}

void BM_Menus(benchmark::State& state) {
  Rig& r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    menu::draw_menus(*r.app);
    menu::draw_status_line(*r.app);
  }
  label(state, static_cast<int>(state.range(0)));
}

#ifdef VELDRAN_HAVE_LIBJPEG
void BM_LibjpegDecode(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  std::ifstream in(std::filesystem::path(VELDRAN_BENCH_PICTURES) / kPictures[index],
                   std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::vector<std::uint8_t> pixels;
  for (auto _ : state) {
    bench::decode_with_libjpeg(bytes, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
  label(state, index);
}
BENCHMARK(BM_LibjpegDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_BenchmarkPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeFull)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Present)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Menus)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
