// The next picture at once: after a picture is shown, a worker thread decodes the picture
// F3 or F4 would load next into a plane of its own. The key takes it instead of reading the
// file when it is that very file, unchanged since it was read (device, inode, size and
// modification time), and the JPEG decoder's tables are still those its decode started
// from; the store and the tables then end as a load of the file would leave them. Only BMP
// and JPEG files are prepared, and only loads that succeed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "formats/jpeg/decoder.h"
#include "formats/load_result.h"
#include "image/image_store.h"

namespace core {

class Prefetcher {
 public:
  Prefetcher();
  ~Prefetcher();  // waits for a decode under way
  Prefetcher(const Prefetcher&) = delete;
  Prefetcher& operator=(const Prefetcher&) = delete;

  // Sets aside a store of maxh x maxv (two planes, filled only as they are used) and starts
  // the worker. False, the prefetcher then staying off, when the memory cannot be had.
  bool start(std::int32_t maxh, std::int32_t maxv, bool upright);
  bool running() const { return worker_ != nullptr; }

  // Prepares the first picture after `current` in the folder listing (before it when not
  // `forward`), decoding from `tables`. Replaces an earlier request.
  void request(const std::string& current, bool forward, const formats::jpeg::Tables& tables);

  // When `name` is prepared and still valid: what its load wrote is copied into `store`
  // (the rest of the planes keeps what it held, as after a load), `jpeg` takes the tables
  // its decode left, and the load's result is returned. A preparation of the same step under way is
  // waited for: it is already part-way. Nothing otherwise.
  std::optional<formats::LoadResult> take(const std::string& current, bool forward,
                                          const std::string& name, img::ImageStore& store,
                                          formats::JpegDecoder& jpeg);

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

// Whether two table states decode every file alike: the quantisation tables, the Huffman
// codes as the files gave them, the components and the frame.
bool same_tables(const formats::jpeg::Tables& a, const formats::jpeg::Tables& b);

}  // namespace core
