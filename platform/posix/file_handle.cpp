#include <platform/file_handle.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

NativeFile OpenFileToRead(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

NativeFile DuplicateFile(NativeFile file) { return ::fcntl(file, F_DUPFD_CLOEXEC, 0); }

bool CloseFile(NativeFile file) { return ::close(file) == 0; }

long long ReadSome(NativeFile file, void* buffer, std::size_t length) {
  for (;;) {
    const ssize_t n = ::read(file, buffer, length);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

long long WriteSome(NativeFile file, const void* data, std::size_t length) {
  for (;;) {
    const ssize_t n = ::write(file, data, length);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

long long ReadAt(NativeFile file, void* buffer, std::size_t length, std::uint64_t offset) {
  for (;;) {
    const ssize_t n = ::pread(file, buffer, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

long long WriteAt(NativeFile file, const void* data, std::size_t length, std::uint64_t offset) {
  for (;;) {
    const ssize_t n = ::pwrite(file, data, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

std::optional<std::uint64_t> FilePosition(NativeFile file) {
  const off_t position = ::lseek(file, 0, SEEK_CUR);
  if (position < 0) return std::nullopt;
  return static_cast<std::uint64_t>(position);
}

bool SetFilePosition(NativeFile file, std::uint64_t offset) {
  return ::lseek(file, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool TruncateFile(NativeFile file, std::uint64_t size) {
  return ::ftruncate(file, static_cast<off_t>(size)) == 0;
}

bool FlushToDisk(NativeFile file) { return ::fsync(file) == 0; }

bool SetFileTimes(NativeFile file, std::int64_t accessNs, std::int64_t writeNs) {
  const timespec times[2] = {{accessNs / 1000000000, accessNs % 1000000000},
                             {writeNs / 1000000000, writeNs % 1000000000}};
  return ::futimens(file, times) == 0;
}

namespace {
FileFacts FactsFrom(const struct stat& info) {
  FileFacts facts;
  facts.regular = S_ISREG(info.st_mode);
  facts.folder = S_ISDIR(info.st_mode);
  facts.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return facts;
}
}  // namespace

std::optional<FileFacts> FactsOf(NativeFile file) {
  struct stat info {};
  if (::fstat(file, &info) != 0) return std::nullopt;
  return FactsFrom(info);
}

std::optional<FileFacts> FactsAt(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FactsFrom(info);
}

bool IsOutOfSpace(int error) { return error == ENOSPC || error == EDQUOT; }

}  // namespace platform
