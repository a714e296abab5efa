// Pieces the benchmark programs share: a reporter that keeps the median of one counter per
// benchmark over repetitions, the loader's timing loop, and libjpeg-turbo's decode of a file
// in memory as the peer.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "formats/loader.h"

#if __has_include(<jpeglib.h>)
#include <jpeglib.h>

#include <cstdio>  // jpeglib.h needs FILE
#define VELDRAN_HAVE_LIBJPEG 1
#endif

namespace bench {

// Prints as the console reporter does and keeps `counter` (times `scale`) of every
// iteration run, so that a ratio table can take medians afterwards.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  MedianReporter(std::string counter, double scale) : counter_(std::move(counter)), scale_(scale) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const auto it = r.counters.find(counter_);
      if (it != r.counters.end() && r.run_type == Run::RT_Iteration) {
        samples_[r.run_name.str()].push_back(it->second.value * scale_);
      }
    }
  }

  // The median of a benchmark's samples, 0 when it has none.
  double median(const std::string& name) {
    auto it = samples_.find(name);
    if (it == samples_.end() || it->second.empty()) return 0;
    std::vector<double>& v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }

 private:
  std::string counter_;
  double scale_;
  std::map<std::string, std::vector<double>> samples_;
};

// Megapixels per second over the benchmark's iterations.
inline void set_rate(benchmark::State& state, std::int64_t pixels) {
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(pixels) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

// Loads the file held in `bytes` through the loader at every iteration and sets the rate.
inline void load_every_iteration(benchmark::State& state, const std::vector<std::uint8_t>& bytes,
                                 img::ImageStore& store, formats::JpegDecoder& decoder) {
  if (bytes.empty()) return state.SkipWithError("picture missing");
  for (auto _ : state) {
    const formats::LoadResult r = formats::load_picture_bytes(bytes, store, decoder);
    if (r.message != platform::Status::kFileLoaded) return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(store.working().px[0]);
  }
  set_rate(state, std::int64_t{store.width} * store.height);
}

#ifdef VELDRAN_HAVE_LIBJPEG
// Decodes a JPEG held in memory with libjpeg-turbo's default settings into `out` (grown as
// needed); returns the number of pixels.
inline std::int64_t decode_with_libjpeg(const std::vector<std::uint8_t>& bytes,
                                        std::vector<std::uint8_t>& out) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const std::size_t row = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
  if (out.size() < row * cinfo.output_height) out.resize(row * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {out.data() + row * cinfo.output_scanline};
    jpeg_read_scanlines(&cinfo, rows, 1);
  }
  const std::int64_t pixels = std::int64_t{cinfo.output_width} * cinfo.output_height;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return pixels;
}
#endif

}  // namespace bench
