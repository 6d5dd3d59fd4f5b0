#include <platform/file_handle.h>

#include <algorithm>
#include <cerrno>

#include <platform/win32/win32_files.h>

namespace platform {

using win32::FileOf;
using win32::HandleOf;
using win32::SetErrnoFromLastError;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One call moves at most this much: the counts are 32-bit here.
constexpr std::size_t kMostPerCall = 1u << 30;
// FILETIME counts 100 ns from 1601; Unix time from 1970.
constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL;

DWORD CallLength(std::size_t length) {
  return static_cast<DWORD>(std::min(length, kMostPerCall));
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// Reads that meet the end of a file or of a pipe's writers read nothing.
long long ReadResult(BOOL ok, DWORD done) {
  if (ok) return done;
  const DWORD error = GetLastError();
  if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return 0;
  SetErrnoFromLastError();
  return -1;
}

long long WriteResult(BOOL ok, DWORD done) {
  if (ok) return done;
  SetErrnoFromLastError();
  return -1;
}

FILETIME FileTimeOf(std::int64_t unixNs) {
  const auto ticks = static_cast<std::uint64_t>(unixNs / 100 + kUnixEpochTicks);
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

}  // namespace

NativeFile OpenFileToRead(const std::filesystem::path& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) SetErrnoFromLastError();
  return FileOf(file);
}

NativeFile DuplicateFile(NativeFile file) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), HandleOf(file), GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    SetErrnoFromLastError();
    return kNoFile;
  }
  return FileOf(copy);
}

bool CloseFile(NativeFile file) {
  if (CloseHandle(HandleOf(file))) return true;
  SetErrnoFromLastError();
  return false;
}

long long ReadSome(NativeFile file, void* buffer, std::size_t length) {
  DWORD done = 0;
  const BOOL ok = ReadFile(HandleOf(file), buffer, CallLength(length), &done, nullptr);
  return ReadResult(ok, done);  // after the call: argument order is unspecified
}

long long WriteSome(NativeFile file, const void* data, std::size_t length) {
  DWORD done = 0;
  const BOOL ok = WriteFile(HandleOf(file), data, CallLength(length), &done, nullptr);
  return WriteResult(ok, done);  // after the call: argument order is unspecified
}

long long ReadAt(NativeFile file, void* buffer, std::size_t length, std::uint64_t offset) {
  OVERLAPPED at = At(offset);
  DWORD done = 0;
  const BOOL ok = ReadFile(HandleOf(file), buffer, CallLength(length), &done, &at);
  return ReadResult(ok, done);  // after the call: argument order is unspecified
}

long long WriteAt(NativeFile file, const void* data, std::size_t length, std::uint64_t offset) {
  OVERLAPPED at = At(offset);
  DWORD done = 0;
  const BOOL ok = WriteFile(HandleOf(file), data, CallLength(length), &done, &at);
  return WriteResult(ok, done);  // after the call: argument order is unspecified
}

std::optional<std::uint64_t> FilePosition(NativeFile file) {
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(HandleOf(file), LARGE_INTEGER{}, &position, FILE_CURRENT)) {
    SetErrnoFromLastError();
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(position.QuadPart);
}

bool SetFilePosition(NativeFile file, std::uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (SetFilePointerEx(HandleOf(file), to, nullptr, FILE_BEGIN)) return true;
  SetErrnoFromLastError();
  return false;
}

bool TruncateFile(NativeFile file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (SetFileInformationByHandle(HandleOf(file), FileEndOfFileInfo, &end, sizeof end)) return true;
  SetErrnoFromLastError();
  return false;
}

bool FlushToDisk(NativeFile file) {
  if (FlushFileBuffers(HandleOf(file))) return true;
  SetErrnoFromLastError();
  return false;
}

bool SetFileTimes(NativeFile file, std::int64_t accessNs, std::int64_t writeNs) {
  const FILETIME access = FileTimeOf(accessNs);
  const FILETIME write = FileTimeOf(writeNs);
  if (SetFileTime(HandleOf(file), nullptr, &access, &write)) return true;
  SetErrnoFromLastError();
  return false;
}

std::optional<FileFacts> FactsOf(NativeFile file) {
  const HANDLE handle = HandleOf(file);
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
      !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    SetErrnoFromLastError();
    return std::nullopt;
  }
  // A link opened as itself is neither: it is refused like one here.
  const bool link = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  FileFacts facts;
  facts.folder = !link && standard.Directory != FALSE;
  facts.regular = !link && standard.Directory == FALSE && GetFileType(handle) == FILE_TYPE_DISK;
  facts.size = static_cast<std::uint64_t>(std::max<LONGLONG>(standard.EndOfFile.QuadPart, 0));
  return facts;
}

std::optional<FileFacts> FactsAt(const std::filesystem::path& path) {
  const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return std::nullopt;
  }
  std::optional<FileFacts> facts = FactsOf(FileOf(handle));
  CloseHandle(handle);
  return facts;
}

bool IsOutOfSpace(int error) { return error == ENOSPC; }

}  // namespace platform
