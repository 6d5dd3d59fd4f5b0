#include <platform/disk_space.h>

#include <sys/statvfs.h>

#include <platform/os_encoding.h>

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(const std::wstring& path) {
  std::filesystem::path probe = std::filesystem::absolute(OsPath(path));
  std::error_code ec;
  while (!std::filesystem::exists(probe, ec)) {
    if (!probe.has_relative_path()) break;
    probe = probe.parent_path();
  }
  struct statvfs info {};
  if (::statvfs(probe.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace platform
