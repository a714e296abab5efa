// Run with --benchmark_repetitions=N --benchmark_enable_random_interleaving=true on a
// noisy machine: the table at the end takes the median of the repetitions.
//
// JPEG decode throughput in megapixels per second, file already in memory, single thread and
// with the second core (2 threads),
// against libjpeg-turbo (default settings) and stb_image decoding the same files in the
// same run. The image store is allocated and touched once, so the loads run warm; the
// first load of the 12-megapixel picture into a fresh store is measured on its own.
// Progressive versions of the photographs ("progressive/<name>") are made losslessly with
// `jpegtran -progressive` in a temporary folder when the program starts.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "formats/loader.h"
#include "platform/files.h"

#if __has_include(<stb/stb_image.h>)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#define VELDRAN_HAVE_STB 1
#endif

namespace {

const char* const kPictures[] = {
    "p03_640x480_420.jpg",  "p03_640x480_444.jpg",   "p1_1152x864_420.jpg",
    "p1_1152x864_444.jpg",  "p1_1152x864_gray.jpg",  "p3_2000x1500_420.jpg",
    "p3_2000x1500_444.jpg", "p12_4000x3000_420.jpg", "p12_4000x3000_444.jpg",
};

// The photographs also decoded as progressive files.
const char* const kProgressive[] = {
    "p1_1152x864_420.jpg",
    "p1_1152x864_444.jpg",
    "p12_4000x3000_420.jpg",
    "p12_4000x3000_444.jpg",
};
const std::string kProgressivePrefix = "progressive/";

struct Shared {
  std::map<std::string, std::vector<std::uint8_t>> files;
  img::ImageStore store;
  std::unique_ptr<formats::JpegDecoder> decoder = std::make_unique<formats::JpegDecoder>();
  std::unique_ptr<formats::JpegDecoder> two_threads = std::make_unique<formats::JpegDecoder>();
};

Shared& shared() {
  static Shared s = [] {
    Shared x;
    x.decoder->set_threads(1);
    x.two_threads->set_threads(2);
    std::string error;
    if (!x.store.allocate(4096, 4096, error)) std::abort();
    // Touch every page of the working plane once.
    for (std::int32_t y = 0; y < x.store.maxv; ++y) x.store.working().at(0, y) = 1;
    for (std::int64_t i = 0; i < std::int64_t{4096} * 4096; i += 1024) {
      x.store.working().px[i] = 0;
    }
    return x;
  }();
  return s;
}

// Writes the progressive version of a photograph into a temporary file and returns its
// path, or "" when jpegtran fails.
std::string make_progressive(const std::string& name) {
  char folder[] = "/tmp/veldran-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return "";
  const std::string out = std::string(folder) + "/" + name;
  const std::string command = "jpegtran -copy none -progressive -outfile " + out + " " +
                              VELDRAN_BENCH_PICTURES + "/" + name;
  if (std::system(command.c_str()) != 0) return "";
  return out;
}

const std::vector<std::uint8_t>& file(const std::string& name) {
  Shared& s = shared();
  auto it = s.files.find(name);
  if (it == s.files.end()) {
    std::vector<std::uint8_t> bytes;
    std::string path = std::string(VELDRAN_BENCH_PICTURES) + "/" + name;
    const bool progressive = name.rfind(kProgressivePrefix, 0) == 0;
    if (progressive) path = make_progressive(name.substr(kProgressivePrefix.size()));
    platform::read_file(path, SIZE_MAX, bytes);
    if (progressive && !path.empty()) {
      std::remove(path.c_str());
      ::rmdir(path.substr(0, path.rfind('/')).c_str());
    }
    it = s.files.emplace(name, std::move(bytes)).first;
  }
  return it->second;
}

using bench::set_rate;

void veldran(benchmark::State& state, const std::string& name) {
  Shared& s = shared();
  bench::load_every_iteration(state, file(name), s.store, *s.decoder);
}

// The same with the second core transforming and converting the rows already decoded.
void veldran_2t(benchmark::State& state, const std::string& name) {
  Shared& s = shared();
  bench::load_every_iteration(state, file(name), s.store, *s.two_threads);
}

#ifdef VELDRAN_HAVE_LIBJPEG
void libjpeg(benchmark::State& state, const std::string& name) {
  const auto& bytes = file(name);
  if (bytes.empty()) return state.SkipWithError("picture missing");
  // The output buffer is allocated and touched before the timed loop, as our store is.
  std::vector<std::uint8_t> out;
  std::int64_t pixels = bench::decode_with_libjpeg(bytes, out);
  for (auto _ : state) {
    pixels = bench::decode_with_libjpeg(bytes, out);
    benchmark::DoNotOptimize(out.data());
  }
  set_rate(state, pixels);
}
#endif

#ifdef VELDRAN_HAVE_STB
void stb(benchmark::State& state, const std::string& name) {
  const auto& bytes = file(name);
  if (bytes.empty()) return state.SkipWithError("picture missing");
  std::int64_t pixels = 0;
  for (auto _ : state) {
    int w = 0, h = 0, n = 0;
    stbi_uc* p = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 0);
    if (p == nullptr) return state.SkipWithError("stb failed");
    benchmark::DoNotOptimize(p);
    stbi_image_free(p);
    pixels = std::int64_t{w} * h;
  }
  set_rate(state, pixels);
}
#endif

// A fresh image store for every load: the cost of touching new memory is included.
void veldran_first_load(benchmark::State& state) {
  const auto& bytes = file("p12_4000x3000_420.jpg");
  if (bytes.empty()) return state.SkipWithError("picture missing");
  auto decoder = std::make_unique<formats::JpegDecoder>();
  for (auto _ : state) {
    img::ImageStore fresh;
    std::string error;
    if (!fresh.allocate(4096, 4096, error)) return state.SkipWithError("no memory");
    formats::load_picture_bytes(bytes, fresh, *decoder);
    benchmark::DoNotOptimize(fresh.working().px[0]);
  }
  set_rate(state, 12000000);
}

// Prints the median rates of veldran and the peers on `names`, and veldran's ratios.
void print_table(bench::MedianReporter& reporter, const std::vector<std::string>& names) {
  std::printf("\n%-36s %10s %10s %10s %10s %10s %10s %10s\n", "picture", "veldran", "2 threads",
              "libjpeg", "stb", "vs libjpeg", "2t vs lj", "vs stb");
  for (const std::string& name : names) {
    auto rate = [&](const std::string& who) {
      return reporter.median(who + "/" + name + "/real_time");
    };
    const double v = rate("veldran"), v2 = rate("veldran_2t"), l = rate("libjpeg"), s = rate("stb");
    if (v == 0) continue;
    std::printf("%-36s %10.1f %10.1f %10.1f %10.1f %9.2fx %9.2fx %9.2fx\n", name.c_str(), v, v2, l,
                s, l > 0 ? v / l : 0.0, l > 0 ? v2 / l : 0.0, s > 0 ? v / s : 0.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names(std::begin(kPictures), std::end(kPictures));
  for (const char* p : kProgressive) names.push_back(kProgressivePrefix + p);
  for (const std::string& name : names) {
    benchmark::RegisterBenchmark(("veldran/" + name).c_str(), veldran, name)->UseRealTime();
    benchmark::RegisterBenchmark(("veldran_2t/" + name).c_str(), veldran_2t, name)->UseRealTime();
#ifdef VELDRAN_HAVE_LIBJPEG
    benchmark::RegisterBenchmark(("libjpeg/" + name).c_str(), libjpeg, name)->UseRealTime();
#endif
#ifdef VELDRAN_HAVE_STB
    benchmark::RegisterBenchmark(("stb/" + name).c_str(), stb, name)->UseRealTime();
#endif
  }
  benchmark::RegisterBenchmark("veldran_first_load/p12_4000x3000_420.jpg", veldran_first_load)
      ->UseRealTime()
      ->Iterations(3);
  benchmark::Initialize(&argc, argv);
  bench::MedianReporter reporter("MP/s", 1.0);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_table(reporter, names);
  benchmark::Shutdown();
  return 0;
}
