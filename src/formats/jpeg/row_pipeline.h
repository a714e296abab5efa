// Two cores on one single-scan frame: the caller's thread decodes the entropy-coded rows of
// MCUs into a small ring of coefficient rows while a worker thread transforms, converts and
// places the rows before them. The rows are placed in the same order and by the same code
// as on one thread, so the picture is the same whatever the thread count.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "formats/jpeg/entropy.h"
#include "formats/jpeg/place.h"

namespace formats::jpeg {

class RowPipeline {
 public:
  RowPipeline() = default;
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;
  ~RowPipeline();

  struct Outcome {
    bool stopped;  // the placement stopped at maxv
    bool damaged;  // an MCU could not be decoded (and no stop came before it)
  };

  // Decodes `rows` rows of `row_mcus` MCUs with `decode` from `state` and places them with
  // `place` through `writer`, MCU row `r` at y = r * mcu_height. The ring is grown on the first
  // frame that needs more and kept; false when its memory cannot be had (nothing was decoded).
  bool run(ScanState& state, RowDecoder decode, McuPlacer place, const McuWriter& writer, int rows,
           int row_mcus, int mcu_height, Outcome& outcome);

 private:
  static constexpr int kRing = 4;  // rows in flight

  void work();
  void place_rows();

  std::vector<BlockCoefs> ring_;
  int decoded_[kRing] = {};  // MCUs decoded whole in each ring row

  // The job, set before it is posted and read by the worker only.
  const McuWriter* writer_ = nullptr;
  McuPlacer place_ = nullptr;
  int row_mcus_ = 0;
  int blocks_ = 0;
  int mcu_height_ = 0;
  ScanScratch scratch_{};

  // Rows handed to the worker, with kLast added once no more will come.
  static constexpr int kLast = 1 << 30;
  std::atomic<int> produced_{0};
  // Rows the worker is done with; once it has left the job, kFinished or kHalted (it stopped
  // at maxv).
  static constexpr int kFinished = -1;
  static constexpr int kHalted = -2;
  std::atomic<int> placed_{0};

  std::mutex mutex_;
  std::condition_variable posted_;
  int jobs_ = 0;  // guarded by mutex_
  bool quit_ = false;
  std::thread worker_;
};

}  // namespace formats::jpeg
