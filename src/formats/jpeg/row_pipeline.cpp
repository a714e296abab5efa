#include "formats/jpeg/row_pipeline.h"

#include <exception>

namespace formats::jpeg {

RowPipeline::~RowPipeline() {
  if (!worker_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  posted_.notify_one();
  worker_.join();
}

void RowPipeline::work() {
  int seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      posted_.wait(lock, [&] { return quit_ || jobs_ != seen; });
      if (quit_) return;
      seen = jobs_;
    }
    place_rows();
  }
}

void RowPipeline::place_rows() {
  for (int r = 0;; ++r) {
    // Wait for row r, or for the word that there is none.
    for (;;) {
      const int produced = produced_.load(std::memory_order_acquire);
      if ((produced & ~kLast) > r) break;
      if ((produced & kLast) != 0) {
        placed_.store(kFinished, std::memory_order_release);
        placed_.notify_one();
        return;
      }
      produced_.wait(produced, std::memory_order_acquire);
    }
    const BlockCoefs* mcu =
        ring_.data() + static_cast<std::size_t>(r % kRing) * row_mcus_ * blocks_;
    if (!place_(*writer_, mcu, blocks_, 0, decoded_[r % kRing], r * mcu_height_, scratch_)) {
      placed_.store(kHalted, std::memory_order_release);
      placed_.notify_one();
      return;
    }
    placed_.store(r + 1, std::memory_order_release);
    placed_.notify_one();
  }
}

bool RowPipeline::run(ScanState& state, RowDecoder decode, McuPlacer place, const McuWriter& writer,
                      int rows, int row_mcus, int mcu_height, Outcome& outcome) {
  const std::size_t row_blocks = static_cast<std::size_t>(row_mcus) * state.blocks;
  try {
    if (ring_.size() < row_blocks * kRing) ring_.resize(row_blocks * kRing);
    if (!worker_.joinable()) worker_ = std::thread(&RowPipeline::work, this);
  } catch (const std::exception&) {
    return false;
  }
  writer_ = &writer;
  place_ = place;
  row_mcus_ = row_mcus;
  blocks_ = state.blocks;
  mcu_height_ = mcu_height;
  produced_.store(0, std::memory_order_relaxed);
  placed_.store(0, std::memory_order_relaxed);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++jobs_;
  }
  posted_.notify_one();

  bool damaged = false;
  int r = 0;
  for (; r < rows && !damaged; ++r) {
    // Wait for a free ring row; stop early once the worker has stopped at maxv.
    int placed = placed_.load(std::memory_order_acquire);
    while (placed >= 0 && r - placed >= kRing) {
      placed_.wait(placed, std::memory_order_acquire);
      placed = placed_.load(std::memory_order_acquire);
    }
    if (placed < 0) break;
    BlockCoefs* row = ring_.data() + static_cast<std::size_t>(r % kRing) * row_blocks;
    const int count = decode(state, row, row_mcus);
    decoded_[r % kRing] = count;
    damaged = count < row_mcus;
    produced_.store(r + 1, std::memory_order_release);
    produced_.notify_one();
  }
  produced_.store(r | kLast, std::memory_order_release);
  produced_.notify_one();
  // Wait until the worker has placed every row handed over, or stopped.
  int placed = placed_.load(std::memory_order_acquire);
  while (placed >= 0) {
    placed_.wait(placed, std::memory_order_acquire);
    placed = placed_.load(std::memory_order_acquire);
  }
  outcome.stopped = placed == kHalted;
  outcome.damaged = damaged && !outcome.stopped;
  return true;
}

}  // namespace formats::jpeg
