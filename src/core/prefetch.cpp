#include "core/prefetch.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "core/browse.h"
#include "formats/loader.h"
#include "platform/files.h"

namespace core {

using formats::jpeg::Tables;

struct Prefetcher::Worker {
  std::mutex mutex;
  std::condition_variable wake;  // a request, or the end
  std::condition_variable done;  // a step prepared
  bool stop = false;
  // The step asked for: pending until the thread takes it up, active until it is prepared
  // (or a newer request is).
  bool pending = false;
  bool active = false;
  std::string current;
  bool forward = true;
  Tables request_tables;

  // The prepared picture, valid while `ready`: no step is being prepared then.
  bool ready = false;
  std::string path;
  platform::FileIdentity identity;
  Tables start_tables;  // the decoder's tables as its decode began
  formats::LoadResult result;

  // The thread alone touches these while a step is being prepared.
  img::ImageStore store;
  formats::JpegDecoder jpeg;

  std::thread thread;

  void run();
  void prepare(const std::string& from, bool ahead);
};

void Prefetcher::Worker::run() {
  std::unique_lock lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return stop || pending; });
    if (stop) return;
    pending = false;
    ready = false;
    const std::string from = current;
    const bool ahead = forward;
    jpeg.set_tables(request_tables);
    lock.unlock();
    prepare(from, ahead);
    lock.lock();
    active = pending;
    done.notify_all();
  }
}

// Walks the names as the key would, passing over unrecognised files as it does; the first
// other file is decoded and kept when its load is whole and the file did not change while
// it was read.
void Prefetcher::Worker::prepare(const std::string& from, bool ahead) {
  for (const std::string& name : names_beyond(folder_listing(), from, ahead)) {
    const Tables before_tables = jpeg.tables();
    platform::FileIdentity before, after;
    const bool known = platform::file_identity(name, before);
    const formats::LoadResult r = formats::load_picture(name, store, jpeg);
    if (r.message == platform::Status::kUnrecognizedFile) continue;
    const bool unchanged = known && platform::file_identity(name, after) && after == before;
    const std::lock_guard guard(mutex);
    ready = unchanged && r.message == platform::Status::kFileLoaded && r.name_taken;
    path = name;
    identity = before;
    start_tables = before_tables;
    result = r;
    return;
  }
}

Prefetcher::Prefetcher() = default;

Prefetcher::~Prefetcher() {
  if (!worker_) return;
  {
    const std::lock_guard guard(worker_->mutex);
    worker_->stop = true;
  }
  worker_->wake.notify_one();
  worker_->thread.join();
}

bool Prefetcher::start(std::int32_t maxh, std::int32_t maxv, bool upright) {
  if (worker_) return true;
  auto w = std::make_unique<Worker>();
  std::string error;
  if (!w->store.allocate(maxh, maxv, error)) return false;
  w->jpeg.set_upright(upright);
  w->thread = std::thread([p = w.get()] { p->run(); });
  worker_ = std::move(w);
  return true;
}

void Prefetcher::request(const std::string& current, bool forward, const Tables& tables) {
  if (!worker_) return;
  {
    const std::lock_guard guard(worker_->mutex);
    worker_->pending = true;
    worker_->active = true;
    worker_->current = current;
    worker_->forward = forward;
    worker_->request_tables = tables;
  }
  worker_->wake.notify_one();
}

std::optional<formats::LoadResult> Prefetcher::take(const std::string& current, bool forward,
                                                    const std::string& name, img::ImageStore& store,
                                                    formats::JpegDecoder& jpeg) {
  if (!worker_) return std::nullopt;
  Worker& w = *worker_;
  std::unique_lock lock(w.mutex);
  w.done.wait(lock, [&] { return !(w.active && w.current == current && w.forward == forward); });
  if (!w.ready || w.path != name || w.store.maxh != store.maxh || w.store.maxv != store.maxv) {
    return std::nullopt;
  }
  platform::FileIdentity now;
  if (!platform::file_identity(name, now) || !(now == w.identity)) return std::nullopt;
  if (!same_tables(jpeg.tables(), w.start_tables)) return std::nullopt;
  std::swap(store.working_memory, w.store.working_memory);
  store.width = w.store.width;
  store.height = w.store.height;
  jpeg.set_tables(w.jpeg.tables());
  w.ready = false;
  return w.result;
}

bool same_tables(const Tables& a, const Tables& b) {
  if (a.quant != b.quant || a.frame_components != b.frame_components ||
      a.frame_width != b.frame_width || a.frame_height != b.frame_height) {
    return false;
  }
  // The lookup structures are built from the counts and symbols alone.
  for (std::size_t i = 0; i < a.huffman.size(); ++i) {
    const auto& x = a.huffman[i];
    const auto& y = b.huffman[i];
    if (x.counts != y.counts || x.symbols != y.symbols || x.symbol_count != y.symbol_count) {
      return false;
    }
  }
  for (std::size_t i = 0; i < a.components.size(); ++i) {
    const auto& x = a.components[i];
    const auto& y = b.components[i];
    if (x.sampling != y.sampling || x.quant != y.quant || x.dc_table != y.dc_table ||
        x.ac_table != y.ac_table || x.predictor != y.predictor) {
      return false;
    }
  }
  return true;
}

}  // namespace core
