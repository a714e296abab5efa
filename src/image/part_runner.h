// Runs a job split into two fixed parts: part 0 on the caller's thread, part 1 on a helper
// thread (started by the first run that wants it, kept until the runner goes) or, with one
// thread, after part 0 on the caller's. A job writes only its own part's outputs, so the
// result is the same whichever way it ran.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace img {

class PartRunner {
 public:
  static constexpr int kParts = 2;

  PartRunner() = default;
  PartRunner(const PartRunner&) = delete;
  PartRunner& operator=(const PartRunner&) = delete;
  ~PartRunner();

  // 1 runs both parts on the caller's thread; 2 (the default) uses the helper as well.
  void set_threads(int threads) { threads_ = threads < 2 ? 1 : 2; }

  // Calls job(0) and job(1) and returns when both are done.
  template <typename Job>
  void run(Job& job) {
    run_parts([](void* j, int part) { (*static_cast<Job*>(j))(part); }, &job);
  }

 private:
  using Call = void (*)(void*, int);
  void run_parts(Call call, void* job);
  void helper_loop();

  int threads_ = 2;
  std::thread helper_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  Call call_ = nullptr;
  void* job_ = nullptr;
  bool pending_ = false;
  bool stop_ = false;
};

}  // namespace img
