#pragma once
// An open file or folder of the operating system's, and plain reads and
// writes through it. Calls that fail leave errno saying why (on Windows the
// system's error mapped to its errno counterpart), so callers tell a full
// disk from a refused name the same way everywhere.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {

// A descriptor here; a kernel handle on Windows, where only its low 32 bits
// are significant (the system guarantees so for 32-bit interoperability).
using NativeFile = int;
inline constexpr NativeFile kNoFile = -1;

// Opens an existing file (following links: the caller named it) to read,
// shared with other readers and writers. kNoFile on failure.
NativeFile OpenFileToRead(const std::filesystem::path& path);
// Another handle on the same open file or folder, or kNoFile.
NativeFile DuplicateFile(NativeFile file);
// False when the system reports a late write error (a quota, a network disk).
bool CloseFile(NativeFile file);

// At the file's own position, which moves on. The count (0 at the end), or
// -1; an interrupted call is retried.
long long ReadSome(NativeFile file, void* buffer, std::size_t length);
long long WriteSome(NativeFile file, const void* data, std::size_t length);
// At offset. Callers that also read at the file's position set it again
// afterwards: POSIX leaves it alone, Windows moves it.
long long ReadAt(NativeFile file, void* buffer, std::size_t length, std::uint64_t offset);
long long WriteAt(NativeFile file, const void* data, std::size_t length, std::uint64_t offset);

std::optional<std::uint64_t> FilePosition(NativeFile file);
bool SetFilePosition(NativeFile file, std::uint64_t offset);
bool TruncateFile(NativeFile file, std::uint64_t size);
// What was written is on the disk when this returns true.
bool FlushToDisk(NativeFile file);
// Access and write times, in nanoseconds since 1970-01-01 UTC.
bool SetFileTimes(NativeFile file, std::int64_t accessNs, std::int64_t writeNs);

struct FileFacts {
  bool regular = false;  // a plain file (not a folder, link, device or pipe)
  bool folder = false;
  std::uint64_t size = 0;
};
std::optional<FileFacts> FactsOf(NativeFile file);
// The same for a path, following links; nullopt with errno set.
std::optional<FileFacts> FactsAt(const std::filesystem::path& path);

// True for the errors of a full disk or an exhausted quota.
bool IsOutOfSpace(int error);

// Closes the file it holds when it goes.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(NativeFile file) : file_(file) {}
  ~FileHandle() { reset(); }
  FileHandle(FileHandle&& other) noexcept : file_(other.release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  NativeFile get() const { return file_; }
  bool valid() const { return file_ != kNoFile; }
  NativeFile release() {
    const NativeFile file = file_;
    file_ = kNoFile;
    return file;
  }
  void reset(NativeFile file = kNoFile) {
    if (file_ != kNoFile) CloseFile(file_);
    file_ = file;
  }

 private:
  NativeFile file_ = kNoFile;
};

}  // namespace platform
