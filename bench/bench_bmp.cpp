// BMP load and save throughput against a plain read or write of the same bytes, in MB/s
// of file data, on the 1-megapixel 24-bit picture (and a 12-megapixel one made from it).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "platform/files.h"

namespace {

struct Shared {
  img::ImageStore store;
  std::unique_ptr<formats::JpegDecoder> decoder = std::make_unique<formats::JpegDecoder>();
  std::vector<std::uint8_t> buffer;  // the peers' plain reads and writes
  std::string folder;
  std::string small_bmp;  // 1152 x 864
  std::string large_bmp;  // 4000 x 3000, tiled from the small one
};

Shared& shared() {
  static Shared s = [] {
    Shared x;
    std::string error;
    if (!x.store.allocate(4096, 4096, error)) std::abort();
    char pattern[] = "/tmp/veldran-bench-bmp-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    x.folder = pattern;
    x.small_bmp = std::string(VELDRAN_BENCH_PICTURES) + "/p1_1152x864.bmp";
    x.large_bmp = x.folder + "/large.bmp";
    if (formats::load_picture(x.small_bmp, x.store, *x.decoder).message !=
        platform::Status::kFileLoaded) {
      std::abort();
    }
    const img::Plane p = x.store.working();
    for (std::int32_t y = 0; y < 3000; ++y) {
      for (std::int32_t x0 = 0; x0 < 4000; ++x0) p.at(x0, y) = p.at(x0 % 1152, y % 864);
    }
    if (formats::save_bmp(x.large_bmp, 24, p, 4000, 3000, {}, 0, x.store.row_buffer()) !=
        platform::Status::kFileSaved) {
      std::abort();
    }
    return x;
  }();
  return s;
}

const std::string& picture(int which) {
  return which == 0 ? shared().small_bmp : shared().large_bmp;
}

void set_rate(benchmark::State& state, std::int64_t bytes) {
  state.SetBytesProcessed(bytes * static_cast<std::int64_t>(state.iterations()));
}

void load(benchmark::State& state) {
  Shared& s = shared();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    if (formats::load_picture(picture(static_cast<int>(state.range(0))), s.store, *s.decoder)
            .message != platform::Status::kFileLoaded) {
      return state.SkipWithError("load failed");
    }
    bytes = 54 + std::int64_t{s.store.height} * ((s.store.width * 3 + 3) & ~3);
  }
  set_rate(state, bytes);
}

void plain_read(benchmark::State& state) {
  Shared& s = shared();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    platform::read_file(picture(static_cast<int>(state.range(0))), SIZE_MAX, s.buffer);
    bytes = static_cast<std::int64_t>(s.buffer.size());
    benchmark::DoNotOptimize(s.buffer.data());
  }
  set_rate(state, bytes);
}

void save(benchmark::State& state) {
  Shared& s = shared();
  formats::load_picture(picture(static_cast<int>(state.range(0))), s.store, *s.decoder);
  const std::string out = s.folder + "/saved.bmp";
  for (auto _ : state) {
    if (formats::save_bmp(out, 24, s.store.working(), s.store.width, s.store.height, {}, 0,
                          s.store.row_buffer()) != platform::Status::kFileSaved) {
      return state.SkipWithError("save failed");
    }
  }
  set_rate(state, 54 + std::int64_t{s.store.height} * ((s.store.width * 3 + 3) & ~3));
}

// The same bytes written with one write call into a new file, flushed and renamed like a
// save.
void plain_write(benchmark::State& state) {
  Shared& s = shared();
  platform::read_file(picture(static_cast<int>(state.range(0))), SIZE_MAX, s.buffer);
  const auto n = static_cast<std::int64_t>(s.buffer.size());
  const std::string out = s.folder + "/plain.bmp";
  const std::string temp = s.folder + "/plain.tmp";
  for (auto _ : state) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, s.buffer.data(), static_cast<std::size_t>(n)) != n) {
      return state.SkipWithError("write failed");
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(temp.c_str(), out.c_str());
    const int folder = ::open(s.folder.c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(folder);
    ::close(folder);
  }
  set_rate(state, n);
}

}  // namespace

int main(int argc, char** argv) {
  struct Entry {
    const char* name;
    void (*fn)(benchmark::State&);
  };
  for (const Entry& e : {Entry{"bmp_load", load}, Entry{"plain_read", plain_read},
                         Entry{"bmp_save", save}, Entry{"plain_write", plain_write}}) {
    benchmark::RegisterBenchmark(e.name, e.fn)->Arg(0)->Arg(1)->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  bench::MedianReporter reporter("bytes_per_second", 1e-6);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-10s %12s %12s %8s %12s %12s %8s\n", "picture", "load MB/s", "read MB/s", "ratio",
              "save MB/s", "write MB/s", "ratio");
  for (const char* arg : {"0", "1"}) {
    auto rate = [&](const char* who) {
      return reporter.median(std::string(who) + "/" + arg + "/real_time");
    };
    const double l = rate("bmp_load"), r = rate("plain_read"), s = rate("bmp_save"),
                 w = rate("plain_write");
    std::printf("%-10s %12.0f %12.0f %7.2fx %12.0f %12.0f %7.2fx\n",
                arg[0] == '0' ? "1 MP" : "12 MP", l, r, r > 0 ? l / r : 0.0, s, w,
                w > 0 ? s / w : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
