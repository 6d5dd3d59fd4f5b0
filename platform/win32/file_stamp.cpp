#include <platform/file_stamp.h>

#include <windows.h>

#include <platform/win32/win32_files.h>

namespace platform {

namespace {

// FILETIME counts 100 ns steps since 1601-01-01.
constexpr std::int64_t kTicksTo1970 = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

}  // namespace

std::optional<FileStamp> StampOf(NativeFile file) {
  BY_HANDLE_FILE_INFORMATION about{};
  if (!GetFileInformationByHandle(win32::HandleOf(file), &about)) {
    win32::SetErrnoFromLastError();
    return std::nullopt;
  }
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  const std::int64_t ticks = static_cast<std::int64_t>(join(about.ftLastWriteTime.dwHighDateTime,
                                                            about.ftLastWriteTime.dwLowDateTime)) -
                             kTicksTo1970;
  FileStamp stamp;
  stamp.id = join(about.nFileIndexHigh, about.nFileIndexLow);
  stamp.size = join(about.nFileSizeHigh, about.nFileSizeLow);
  // Floor division: a time before 1970 still has its nanoseconds in [0, 1 s).
  stamp.modifiedSeconds = ticks / kTicksPerSecond - (ticks % kTicksPerSecond < 0 ? 1 : 0);
  stamp.modifiedNanoseconds =
      static_cast<long>((ticks - stamp.modifiedSeconds * kTicksPerSecond) * 100);
  return stamp;
}

}  // namespace platform
