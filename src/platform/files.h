// The file service: every read and write of a picture or settings file goes through here.
// Reads are bounded (a file is mapped read-only for one load, or read up to a limit); a save
// writes a short-named temporary file beside the target and renames it into place only when
// it is complete and on disk, keeping the old file's mode, owner and links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/status.h"

namespace platform {

// A regular file mapped read-only for as long as the object lives; nothing of it stays in
// memory afterwards. Folders, named pipes and devices are refused without waiting. A few
// threads may each hold one at once; each is kept from a bus error if its file shrinks.
class MappedFile {
 public:
  MappedFile() = default;
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool ok() const { return ok_; }
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  // False when the file shrank while mapped: the bytes it lost read as zero instead of
  // ending the program.
  bool intact() const;

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;
  bool ok_ = false;
  int slot_ = -1;  // the bus-error guard's slot for this mapping, -1 when unguarded
};

// What tells one state of a file from another without reading it: the device and inode it
// lives on, its size and its modification time to the nanosecond.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0;
  std::int64_t size = 0, seconds = 0, nanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` names (following links); false when it cannot be had.
bool file_identity(const std::string& path, FileIdentity& identity);

// Reads at most `limit` bytes of the regular file `path` into `out` (resized to what was
// read). False when the name is not a regular file or cannot be read; errno then says why.
bool read_file(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out);

// Called with the temporary file's name once it is written, flushed and closed, just before
// it takes the target's name: lets a test change the folder at that moment.
using BeforeReplace = std::function<void(const std::string& temp_path)>;

// One save. The target is the name, or the file a symbolic link names (a dangling link is
// refused); it must be a regular file or not exist. The new file gets the old one's mode
// bits, and its owner and group where the process may set them; a new name gets 0666 less
// the umask. Until commit, SIGINT, SIGTERM and SIGHUP remove the temporary file before they
// end the program (a handler the program installed itself runs instead, and the save goes
// on). Whatever fails, the old file stays as it was and no temporary file remains.
class SafeSave {
 public:
  explicit SafeSave(const std::string& path);
  ~SafeSave();
  SafeSave(const SafeSave&) = delete;
  SafeSave& operator=(const SafeSave&) = delete;

  bool ok() const { return fd_ >= 0; }
  // False (and the save abandoned) when the bytes cannot be written.
  bool write(const void* data, std::size_t size);
  // Flushes the file to disk, renames it over the target and flushes the folder.
  Status commit(const BeforeReplace& before_replace = {});

 private:
  void abandon();

  int fd_ = -1;
  bool guarding_ = false;  // the signal handlers know the temporary file
  std::string target_;
  std::string temp_;
};

// Saves `bytes` as the whole file `path` through a SafeSave.
Status save_file(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace platform
