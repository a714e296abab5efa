// Run with --benchmark_repetitions=N --benchmark_enable_random_interleaving=true on a
// noisy machine: the tables at the end take the median of the repetitions. Times are the
// process's CPU time (every case runs on one thread), which a busy machine disturbs less
// than the wall clock.
//
// PNG load through the loader against libspng decoding the same file alone (its one-call
// decode to RGBA8 with tRNS into a buffer allocated once), file in memory, store warm; and
// PNG save at 24 bits against Pillow's save(..., optimize=False) of the same picture, both
// to a file. The PNG files are made by bench/png_peer.py (Pillow's default settings) from
// the benchmark photographs.
#include <benchmark/benchmark.h>
#include <spng.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "formats/loader.h"
#include "formats/png.h"
#include "platform/files.h"

namespace {

const char* const kPictures[] = {"photo_1152x864", "photo_2000x1500", "photo_4000x3000",
                                 "alpha_1152x864", "palette_1152x864"};

struct Shared {
  std::string folder;
  std::map<std::string, std::vector<std::uint8_t>> files;
  img::ImageStore store;
  std::unique_ptr<formats::JpegDecoder> decoder = std::make_unique<formats::JpegDecoder>();
};

std::string peer_command(const std::string& what, const std::string& folder) {
  return "/usr/bin/python3 " VELDRAN_SOURCE_DIR "/bench/png_peer.py " + what + " " + folder;
}

Shared& shared() {
  static Shared s = [] {
    Shared x;
    char pattern[] = "/tmp/veldran-bench-png-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    x.folder = pattern;
    if (std::system(peer_command("make", x.folder).c_str()) != 0) {
      std::fprintf(stderr, "bench_png: png_peer.py could not make the pictures\n");
    }
    std::string error;
    if (!x.store.allocate(4096, 4096, error)) std::abort();
    // Touch every page of both planes once: PNG loads alternate between them.
    for (std::int64_t i = 0; i < std::int64_t{4096} * 4096; i += 1024) {
      x.store.working().px[i] = 0;
      x.store.processed().px[i] = 0;
    }
    for (const char* p : kPictures) {
      std::vector<std::uint8_t> bytes;
      platform::read_file(x.folder + "/" + p + ".png", SIZE_MAX, bytes);
      x.files.emplace(p, std::move(bytes));
    }
    return x;
  }();
  return s;
}

using bench::set_rate;

void veldran(benchmark::State& state, const std::string& name) {
  Shared& s = shared();
  bench::load_every_iteration(state, s.files[name], s.store, *s.decoder);
}

void spng(benchmark::State& state, const std::string& name) {
  Shared& s = shared();
  const auto& bytes = s.files[name];
  if (bytes.empty()) return state.SkipWithError("picture missing");
  std::vector<std::uint8_t> out;
  std::int64_t pixels = 0;
  for (auto _ : state) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, bytes.data(), bytes.size());
    spng_ihdr ihdr{};
    std::size_t size = 0;
    if (spng_get_ihdr(ctx, &ihdr) != 0 || spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size)) {
      spng_ctx_free(ctx);
      return state.SkipWithError("libspng failed");
    }
    if (out.size() < size) out.resize(size);
    const int r = spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    spng_ctx_free(ctx);
    if (r != 0) return state.SkipWithError("libspng failed");
    benchmark::DoNotOptimize(out.data());
    pixels = std::int64_t{ihdr.width} * ihdr.height;
  }
  set_rate(state, pixels);
}

void veldran_save(benchmark::State& state, const std::string& name) {
  Shared& s = shared();
  const auto& bytes = s.files[name];
  if (bytes.empty() || formats::load_picture_bytes(bytes, s.store, *s.decoder).message !=
                           platform::Status::kFileLoaded) {
    return state.SkipWithError("picture missing");
  }
  const std::string out = s.folder + "/veldran_out.png";
  for (auto _ : state) {
    if (formats::save_png(out, 24, s.store.working(), s.store.width, s.store.height, {}, 0,
                          s.store.row_buffer()) != platform::Status::kFileSaved) {
      return state.SkipWithError("save failed");
    }
  }
  set_rate(state, std::int64_t{s.store.width} * s.store.height);
}

// Our save's size for the picture (the same bytes every time).
struct Saved {
  double pixels = 0;
  double bytes = 0;
};

Saved save_once(const std::string& name) {
  Shared& s = shared();
  const std::string out = s.folder + "/veldran_out.png";
  if (formats::load_picture_bytes(s.files[name], s.store, *s.decoder).message !=
          platform::Status::kFileLoaded ||
      formats::save_png(out, 24, s.store.working(), s.store.width, s.store.height, {}, 0,
                        s.store.row_buffer()) != platform::Status::kFileSaved) {
    return {};
  }
  return {static_cast<double>(s.store.width) * s.store.height,
          static_cast<double>(std::filesystem::file_size(out))};
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* p : kPictures) {
    const std::string name = p;
    benchmark::RegisterBenchmark(("veldran/" + name).c_str(), veldran, name);
    benchmark::RegisterBenchmark(("spng/" + name).c_str(), spng, name);
    if (name.rfind("photo", 0) == 0) {
      benchmark::RegisterBenchmark(("veldran_save/" + name).c_str(), veldran_save, name);
    }
  }
  benchmark::Initialize(&argc, argv);
  bench::MedianReporter rates("MP/s", 1.0);
  benchmark::RunSpecifiedBenchmarks(&rates);

  std::printf("\nPNG load, MP/s (median)\n%-18s %10s %10s %10s\n", "picture", "veldran", "libspng",
              "ratio");
  for (const char* p : kPictures) {
    const std::string name = p;
    const double v = rates.median("veldran/" + name);
    const double l = rates.median("spng/" + name);
    std::printf("%-18s %10.1f %10.1f %9.2fx\n", p, v, l, l > 0 ? v / l : 0.0);
  }

  // Pillow's saves, timed by the peer script in this same run.
  Shared& s = shared();
  const std::string pillow_file = s.folder + "/pillow.txt";
  std::system((peer_command("save", s.folder) + " > " + pillow_file).c_str());
  std::ifstream pillow(pillow_file);
  std::printf("\nPNG save at 24 bits, a file each (median)\n%-18s %10s %10s %10s %10s %8s %8s\n",
              "picture", "veldran ms", "KiB", "Pillow ms", "KiB", "time", "size");
  for (std::string line; std::getline(pillow, line);) {
    std::istringstream fields(line);
    std::string name;
    double pillow_ms = 0, pillow_bytes = 0;
    fields >> name >> pillow_ms >> pillow_bytes;
    const double rate = rates.median("veldran_save/" + name);
    const Saved ours = save_once(name);
    const double ms = rate > 0 ? ours.pixels / rate / 1000.0 : 0.0;
    std::printf("%-18s %10.1f %10.0f %10.1f %10.0f %7.2fx %7.2fx\n", name.c_str(), ms,
                ours.bytes / 1024, pillow_ms, pillow_bytes / 1024,
                pillow_ms > 0 ? ms / pillow_ms : 0.0,
                pillow_bytes > 0 ? ours.bytes / pillow_bytes : 0.0);
  }
  std::error_code ec;
  std::filesystem::remove_all(s.folder, ec);
  benchmark::Shutdown();
  return 0;
}
