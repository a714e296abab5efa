// A fresh folder for a test's files, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace support {

// A fresh folder that is the current folder while the object lives.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The full name of `name` inside the folder.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  // The bytes of any file ("" when it cannot be read).
  static std::string read_file(const std::string& path);

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace support
