// veldran-longrun: runs the benchmark mode headless for a given time and reports the
// resident memory, to show that a long session neither grows nor leaks.
//
//   veldran-longrun SECONDS PICTURE [MAX_GROWTH_KIB]
//
// The picture is loaded from its own folder; settings are 800 x 600 at 32 bits with a
// 4096 x 4096 store. Resident memory is sampled every second; the growth after the first
// two seconds is printed, and the exit code is 1 when it exceeds MAX_GROWTH_KIB (default 256).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "core/app.h"
#include "core/startup.h"
#include "platform/keys.h"
#include "platform/scripted_screen.h"

namespace {

long resident_kib() {
  std::ifstream statm("/proc/self/statm");
  long pages_total = 0, pages_resident = 0;
  statm >> pages_total >> pages_resident;
  return pages_resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: veldran-longrun SECONDS PICTURE [MAX_GROWTH_KIB]\n");
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  const std::filesystem::path picture = std::filesystem::absolute(argv[2]);
  const long max_growth = argc > 3 ? std::atol(argv[3]) : 256;

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("veldran-longrun-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  std::ofstream("VELDRAN.INI", std::ios::binary)
      << "mode = 19\r\ncdep = 32\r\nmaxh = 4096\r\nmaxv = 4096\r\n";
  std::filesystem::copy_file(picture, folder / picture.filename(),
                             std::filesystem::copy_options::overwrite_existing);

  platform::ScriptedScreen screen;
  screen.set_endless(true);
  core::App app(screen);
  std::string error;
  std::vector<std::string> warnings;
  if (!core::start_up(app, "VELDRAN.INI", picture.filename().string(), error, warnings)) {
    std::fprintf(stderr, "veldran-longrun: %s\n", error.c_str());
    return 1;
  }
  // Edit menu, Benchmark: Alt, "e", "b".
  screen.hold({platform::scan::kAlt}).hold({}).keys("eb");

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  long frames = 0, baseline = -1, last = 0, peak = 0;
  double next_sample = 1.0;
  for (;;) {
    veldran::run_pass(app);
    ++frames;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed >= next_sample) {
      last = resident_kib();
      if (elapsed >= 2.0 && baseline < 0) baseline = last;
      if (baseline >= 0 && last > peak) peak = last;
      next_sample += 1.0;
    }
    if (elapsed >= seconds) break;
  }
  if (app.frame.interaction_mode != core::kBenchmarkMode) {
    std::fprintf(stderr, "veldran-longrun: the benchmark mode did not stay on\n");
    return 1;
  }
  if (baseline < 0) baseline = last;
  const long growth = peak - baseline;
  std::printf(
      "frames %ld in %.0f s (%.1f per second); resident %ld KiB after 2 s, %ld KiB at "
      "the end, peak %ld KiB; growth %ld KiB\n",
      frames, seconds, static_cast<double>(frames) / seconds, baseline, last, peak, growth);
  std::filesystem::current_path("/");
  std::filesystem::remove_all(folder);
  return growth > max_growth ? 1 : 0;
}
