#pragma once
// File primitives the POSIX backend builds its stores on.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform::posix {

// Reads the whole file; returns 0 or the errno of the failure.
int ReadFileBytes(const std::filesystem::path& path, std::string* out);

// An exclusive advisory lock on a lock file, held while the object lives.
// It serialises read-modify-write cycles across threads and processes.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// The Windows error number closest to an errno of a file operation.
int StatusFromErrno(int error);

}  // namespace platform::posix
