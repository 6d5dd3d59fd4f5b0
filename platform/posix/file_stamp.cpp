#include <platform/file_stamp.h>

#include <sys/stat.h>

namespace platform {

std::optional<FileStamp> StampOf(NativeFile file) {
  struct stat st;
  if (::fstat(file, &st) != 0) return std::nullopt;
  FileStamp stamp;
  stamp.id = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  stamp.modifiedNanoseconds = static_cast<long>(st.st_mtim.tv_nsec);
  return stamp;
}

}  // namespace platform
