#include "image/part_runner.h"

#include <system_error>

namespace img {

PartRunner::~PartRunner() {
  if (!helper_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  helper_.join();
}

void PartRunner::run_parts(Call call, void* job) {
  if (threads_ > 1 && !helper_.joinable()) {
    try {
      helper_ = std::thread([this] { helper_loop(); });
    } catch (const std::system_error&) {
      threads_ = 1;  // no thread to be had: the caller runs both parts
    }
  }
  if (threads_ == 1) {
    call(job, 0);
    call(job, 1);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call_ = call;
    job_ = job;
    pending_ = true;
  }
  wake_.notify_one();
  call(job, 0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return !pending_; });
}

void PartRunner::helper_loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stop_; });
    if (stop_) return;
    lock.unlock();
    call_(job_, 1);
    lock.lock();
    pending_ = false;
    done_.notify_one();
  }
}

}  // namespace img
