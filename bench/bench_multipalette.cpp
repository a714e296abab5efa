// The multipalette stage against a public tiled palette quantiser, on the same pictures and
// settings in the same run: PSNR (red, green and blue, against the picture before the stage)
// and wall time of each, and their ratios.
//
//   bench_multipalette [--peer PROGRAM] [--runs N] [--peer-runs N] [--threads N] [PICTURE...]
//
// Pictures are decoded by Veldran's own loader (JPEG or BMP); without any, the benchmark
// photographs in bench/pictures are used. The peer gets the decoded picture as a 24-bit BMP and is
// run as `PROGRAM IN.bmp OUT.bmp -tw:W -th:H -npal:N -cols:K -rgba:6668 -dither:none`; its
// time includes reading and writing those files. Our time is the stage alone, measured warm
// (median of --runs runs after one untimed run), as wall time and as the CPU time of both
// threads together. "time" is our wall time over the peer's. bench/multipalette_peer.sh
// builds the peer and runs this program.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "formats/bmp_writer.h"
#include "formats/loader.h"
#include "image/multipalette.h"

namespace {

struct Setting {
  std::int32_t palettes, colours, zone_width, zone_height;  // zone_width 0: the picture's
};

constexpr Setting kSettings[] = {
    {16, 16, 8, 8}, {8, 16, 8, 8}, {4, 4, 16, 16}, {4, 16, 8, 8}, {2, 16, 0, 1}};

const char* const kPictures[] = {
    "p03_640x480_420.jpg",   "p03_640x480_444.jpg",  "p1_1152x864_420.jpg",  "p1_1152x864_444.jpg",
    "p1_1152x864_gray.jpg",  "p1_1152x864.bmp",      "p3_2000x1500_420.jpg", "p3_2000x1500_444.jpg",
    "p12_4000x3000_420.jpg", "p12_4000x3000_444.jpg"};

double now_ms() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// CPU time of the whole process (every thread), in milliseconds.
double cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double psnr(img::ConstPlane a, img::ConstPlane b, std::int32_t w, std::int32_t h) {
  double error = 0;
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const img::Pixel p = a.at(x, y), q = b.at(x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        const double d = static_cast<double>((p >> shift) & 0xFF) - ((q >> shift) & 0xFF);
        error += d * d;
      }
    }
  }
  const double mse = error / (3.0 * w * h);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void copy_picture(const img::ImageStore& s) {
  for (std::int32_t y = 0; y < s.height; ++y) {
    std::copy(s.working().row(y), s.working().row(y) + s.width, s.processed().row(y));
  }
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.substr(0, name.rfind('.'));
}

struct Options {
  std::string peer;
  int runs = 5, peer_runs = 1, threads = 2;
  std::vector<std::string> pictures;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--peer" && has_value) {
      o.peer = argv[++i];
    } else if (a == "--runs" && has_value) {
      o.runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--peer-runs" && has_value) {
      o.peer_runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--threads" && has_value) {
      o.threads = std::atoi(argv[++i]);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "bench_multipalette: unknown option %s\n", a.c_str());
      return false;
    } else {
      o.pictures.push_back(a);
    }
  }
  if (o.pictures.empty()) {
    for (const char* p : kPictures)
      o.pictures.push_back(std::string(VELDRAN_BENCH_PICTURES) + "/" + p);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) return 2;
  img::ImageStore store, peer_store;
  std::string error;
  if (!store.allocate(4096, 4096, error) || !peer_store.allocate(4096, 4096, error)) {
    std::fprintf(stderr, "bench_multipalette: %s\n", error.c_str());
    return 1;
  }
  auto jpeg = std::make_unique<formats::JpegDecoder>();
  img::Multipalette stage;
  if (!stage.reserve(4096, 4096)) return 1;
  stage.set_threads(o.threads);
  char folder[] = "/tmp/veldran-bench-multipalette-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return 1;
  const std::string in_bmp = std::string(folder) + "/in.bmp";
  const std::string out_bmp = std::string(folder) + "/out.bmp";

  std::printf("%-10s %-18s %9s %9s %9s %9s %8s %8s\n", "setting", "picture", "ours dB", "ours ms",
              "peer dB", "peer ms", "dB diff", "time");
  for (const std::string& path : o.pictures) {
    if (formats::load_picture(path, store, *jpeg).message != platform::Status::kFileLoaded) {
      std::fprintf(stderr, "bench_multipalette: cannot load %s; skipped\n", path.c_str());
      continue;
    }
    if (!o.peer.empty() &&
        formats::save_bmp(in_bmp, 24, store.working(), store.width, store.height, {}, 0,
                          store.row_buffer()) != platform::Status::kFileSaved) {
      return 1;
    }
    for (const Setting& set : kSettings) {
      img::ColourSettings s;
      s.use_palette = s.multipalette = true;
      s.palettes = set.palettes;
      s.pal_size = set.colours;
      s.zone_width = set.zone_width == 0 ? store.width : set.zone_width;
      s.zone_height = set.zone_height;
      std::vector<double> ours, ours_cpu;
      for (int r = 0; r <= o.runs; ++r) {
        copy_picture(store);
        const double start = now_ms(), start_cpu = cpu_ms();
        stage.build_and_map(store.processed(), store.width, store.height, s);
        if (r == 0) continue;  // the first run touches the memory
        ours.push_back(now_ms() - start);
        ours_cpu.push_back(cpu_ms() - start_cpu);
      }
      const double our_psnr = psnr(store.working(), store.processed(), store.width, store.height);

      double peer_psnr = 0, peer_ms = 0;
      if (!o.peer.empty()) {
        const std::string command =
            o.peer + " " + in_bmp + " " + out_bmp + " -tw:" + std::to_string(s.zone_width) +
            " -th:" + std::to_string(s.zone_height) + " -npal:" + std::to_string(s.palettes) +
            " -cols:" + std::to_string(s.pal_size) + " -rgba:6668 -dither:none >/dev/null 2>&1";
        std::vector<double> times;
        for (int r = 0; r < o.peer_runs; ++r) {
          const double start = now_ms();
          const int status = std::system(command.c_str());
          times.push_back(now_ms() - start);
          if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) times.back() = 0;
        }
        peer_ms = median(times);
        if (peer_ms > 0 && formats::load_picture(out_bmp, peer_store, *jpeg).message ==
                               platform::Status::kFileLoaded) {
          peer_psnr = psnr(store.working(), peer_store.working(), store.width, store.height);
        }
      }
      const std::string setting =
          std::to_string(set.palettes) + "x" + std::to_string(set.colours) + " " +
          (set.zone_width == 0 ? std::string("W") : std::to_string(set.zone_width)) + "x" +
          std::to_string(set.zone_height);
      std::printf("%-10s %-18s %8.2f %8.1f %8.1f", setting.c_str(), base_name(path).c_str(),
                  our_psnr, median(ours), median(ours_cpu));
      if (peer_ms > 0) {
        std::printf(" %8.2f %8.0f %+8.2f %7.3f\n", peer_psnr, peer_ms, our_psnr - peer_psnr,
                    median(ours) / peer_ms);
      } else {
        std::printf(" %8s %8s %8s %7s\n", "-", "-", "-", "-");
      }
      std::fflush(stdout);
    }
  }
  std::remove(in_bmp.c_str());
  std::remove(out_bmp.c_str());
  ::rmdir(folder);
  return 0;
}
