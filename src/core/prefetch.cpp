#include "core/prefetch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/browse.h"
#include "formats/loader.h"
#include "platform/files.h"

namespace core {

using formats::jpeg::Tables;

namespace {

// Loads write whole pixel words with byte 3 cleared, so a word with byte 3 set is one the
// load left alone: the worker's working image is filled with it before each decode, and the
// scratch plane's first pixel (every load that uses that plane writes it first).
constexpr img::Pixel kUnwritten = 0xFF000000;

// The top-left width x height rectangle of `from` into `to` (both maxh wide).
void copy_rectangle(img::Plane from, img::Plane to, std::int32_t width, std::int32_t height) {
  for (std::int32_t y = 0; y < height; ++y) {
    std::memcpy(to.row(y), from.row(y), static_cast<std::size_t>(width) * sizeof(img::Pixel));
  }
}

}  // namespace

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
  // What the load wrote, as it would write it in the App's store: in each row y of the
  // working image the pixels before written[y] (a decoder fills whole blocks, a turn leaves
  // the picture as stored beside the turned one), and the scratch_width x scratch_height
  // rectangle of the scratch (processed) plane, 0 x 0 unless the picture was turned upright.
  std::vector<std::int32_t> written;
  std::int32_t written_rows = 0;
  std::int32_t scratch_width = 0;
  std::int32_t scratch_height = 0;

  // The thread alone touches these while a step is being prepared.
  img::ImageStore store;
  formats::JpegDecoder jpeg;
  bool marked = false;  // the working image holds kUnwritten wherever `written` says not

  void mark_unwritten();
  bool find_written();

  std::thread thread;

  void run();
  void prepare(const std::string& from, bool ahead);
};

void Prefetcher::Worker::run() {
  // Below the window's thread: a preparation gives way to anything the user waits for.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
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

// Walks the names as the key would, passing over unrecognised files as it does. The first
// other file is decoded when it is a BMP or JPEG file (they decode straight into the working
// image) and kept when its load is whole and the file did not change while it was read.
void Prefetcher::Worker::prepare(const std::string& from, bool ahead) {
  for (const std::string& name : names_beyond(folder_listing(), from, ahead)) {
    platform::FileIdentity before, after;
    const bool known = platform::file_identity(name, before);
    const platform::MappedFile file(name);
    if (!file.ok()) continue;
    const formats::Kind kind = formats::kind_of(file.bytes());
    if (kind == formats::Kind::kNone) continue;
    const Tables before_tables = jpeg.tables();
    formats::LoadResult r{platform::Status::kNone, false, false};
    if (kind == formats::Kind::kBmp || kind == formats::Kind::kJpeg) {
      mark_unwritten();
      store.processed().at(0, 0) = kUnwritten;
      r = formats::load_picture_bytes(file.bytes(), store, jpeg);
    }
    const bool whole = r.message == platform::Status::kFileLoaded && r.name_taken &&
                       file.intact() && find_written();
    if (!whole) marked = false;  // where a failed load wrote is not known
    const bool unchanged = known && platform::file_identity(name, after) && after == before;
    const std::lock_guard guard(mutex);
    ready = whole && unchanged;
    path = name;
    identity = before;
    start_tables = before_tables;
    result = r;
    // Turning a photograph upright begins by copying it as stored into the scratch plane,
    // starting at the top-left pixel, with byte 3 cleared.
    scratch_width = 0;
    scratch_height = 0;
    if (store.processed().at(0, 0) != kUnwritten) {
      scratch_width = jpeg.tables().frame_width;
      scratch_height = jpeg.tables().frame_height;
      ready = ready && scratch_width <= store.maxh && scratch_height <= store.maxv;
    }
    return;
  }
}

void Prefetcher::Worker::mark_unwritten() {
  const img::Plane plane = store.working();
  for (std::int32_t y = 0; y < store.maxv; ++y) {
    const std::int32_t n = marked ? written[static_cast<std::size_t>(y)] : store.maxh;
    std::fill(plane.row(y), plane.row(y) + n, kUnwritten);
  }
  std::fill(written.begin(), written.end(), 0);
  written_rows = 0;
  marked = true;
}

// Reads what the load wrote off the working image: in each row a run from the left edge.
// False (the marks then to be renewed everywhere) when a row has anything else.
bool Prefetcher::Worker::find_written() {
  const img::Plane plane = store.working();
  for (std::int32_t y = 0; y < store.maxv; ++y) {
    const img::Pixel* row = plane.row(y);
    std::int32_t n = 0;
    while (n < store.maxh && (row[n] & kUnwritten) == 0) ++n;
    img::Pixel rest = kUnwritten;
    for (std::int32_t x = n; x < store.maxh; ++x) rest &= row[x];
    if (rest != kUnwritten) {
      marked = false;
      return false;
    }
    written[static_cast<std::size_t>(y)] = n;
    if (n > 0) written_rows = y + 1;
  }
  return true;
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
  w->written.assign(static_cast<std::size_t>(maxv), 0);
  w->jpeg.set_upright(upright);
  // The background decode keeps to one core: the other stays with the window.
  w->jpeg.set_threads(1);
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
  // Only what the load writes is copied: the rest of each plane keeps what it held, as a load
  // leaves it.
  for (std::int32_t y = 0; y < w.written_rows; ++y) {
    std::memcpy(
        store.working().row(y), w.store.working().row(y),
        static_cast<std::size_t>(w.written[static_cast<std::size_t>(y)]) * sizeof(img::Pixel));
  }
  copy_rectangle(w.store.processed(), store.processed(), w.scratch_width, w.scratch_height);
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
  // The codes and lookup structures are built from the counts and the symbols they count
  // alone; what lies past those symbols is never read.
  for (std::size_t i = 0; i < a.huffman.size(); ++i) {
    const auto& x = a.huffman[i];
    const auto& y = b.huffman[i];
    if (x.counts != y.counts || x.symbol_count != y.symbol_count ||
        !std::equal(x.symbols.begin(), x.symbols.begin() + x.symbol_count, y.symbols.begin())) {
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
