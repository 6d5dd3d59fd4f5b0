#include <platform/disk_space.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <set>
#include <utility>

#include <platform/os_encoding.h>

namespace platform {

namespace {

// Deeper folders are not walked: each level holds one descriptor open.
constexpr int kMaxDepth = 128;

struct SizeWalk {
  std::uint64_t bytes = 0;
  std::set<std::pair<dev_t, ino_t>> seen;  // files with several names

  void Count(const struct stat& info) {
    if (info.st_nlink > 1 && !seen.emplace(info.st_dev, info.st_ino).second) return;
    bytes += static_cast<std::uint64_t>(info.st_blocks) * 512;
  }

  // folder: an open descriptor of a folder, owned (closed) here.
  void Walk(int folder, int depth) {
    DIR* listing = ::fdopendir(folder);
    if (listing == nullptr) {
      ::close(folder);
      return;
    }
    while (const dirent* entry = ::readdir(listing)) {
      const std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat info {};
      // Gone since the listing, or unreadable: it counts nothing.
      if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (S_ISREG(info.st_mode)) {
        Count(info);
      } else if (S_ISDIR(info.st_mode) && depth < kMaxDepth) {
        // O_NOFOLLOW: a folder swapped for a link since the look is not entered.
        const int child = ::openat(::dirfd(listing), entry->d_name,
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) Walk(child, depth + 1);
      }
    }
    ::closedir(listing);
  }
};

}  // namespace

std::uint64_t SizeOnDisk(const std::wstring& path) {
  const std::filesystem::path top = OsPath(path);
  struct stat info {};
  if (top.empty() || ::lstat(top.c_str(), &info) != 0) return 0;
  SizeWalk walk;
  if (S_ISREG(info.st_mode)) {
    walk.Count(info);
  } else if (S_ISDIR(info.st_mode)) {
    const int folder = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) walk.Walk(folder, 0);
  }
  return walk.bytes;
}

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
