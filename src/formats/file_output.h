// Saving without losing: a file is written under a temporary name beside its own and takes
// that name only once it is complete, so a save that fails leaves any old file as it was.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/status.h"

namespace formats {

// Called with the temporary file's name once it is written and closed, just before it takes
// the picture's name: lets a test change the folder at that moment.
using BeforeReplace = std::function<void(const std::string& temp_path)>;

class ReplacingFile {
 public:
  // Creates the temporary file; ok() is false when it cannot be created.
  explicit ReplacingFile(std::string path);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();  // a file never finished is removed

  bool ok() const { return ok_; }
  // Appends bytes; false, and the save fails, when they cannot be written.
  bool write(const void* data, std::size_t size);
  // Marks the save as failed (the writer's own reason).
  void fail() { ok_ = false; }
  // Closes the file and gives it the picture's name: kFileSaved, or kFileNotSaved with the
  // temporary file removed.
  platform::Status finish(const BeforeReplace& before_replace = {});

 private:
  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  bool ok_ = false;
};

}  // namespace formats
