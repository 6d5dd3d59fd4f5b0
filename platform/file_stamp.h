#pragma once
// What tells one version of a file from another, for validators such as an
// HTTP ETag: it changes when the file is replaced or rewritten.
#include <cstdint>
#include <optional>

#include <platform/file_handle.h>

namespace platform {

struct FileStamp {
  std::uint64_t id = 0;  // the file's number on its volume (the inode here)
  std::uint64_t size = 0;
  std::int64_t modifiedSeconds = 0;  // last write, since 1970-01-01 UTC
  long modifiedNanoseconds = 0;      // within that second
};

// nullopt with errno set when the system cannot say.
std::optional<FileStamp> StampOf(NativeFile file);

}  // namespace platform
