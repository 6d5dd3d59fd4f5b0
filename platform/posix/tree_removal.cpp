#include <platform/tree_removal.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// name in the folder dirFd, reached by handles only: a folder swapped for a
// link while we walk is opened as nothing (O_NOFOLLOW) and removed as a link.
bool RemoveIn(int dirFd, const std::string& name) {
  if (::unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT) return true;
  if (errno != EISDIR && errno != EPERM) return false;  // Linux says EISDIR, POSIX EPERM
  const int fd = ::openat(dirFd, name.c_str(), kFolderFlags);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return false;
  }
  bool ok = true;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string child = entry->d_name;
    if (child == "." || child == "..") continue;
    ok = RemoveIn(::dirfd(dir), child) && ok;
  }
  ::closedir(dir);
  return (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT) && ok;
}

// The folder that holds path, opened; -1 with errno set.
int OpenParent(const std::filesystem::path& path) {
  const std::filesystem::path parent = path.parent_path().empty() ? "." : path.parent_path();
  return ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

bool RemoveTreeIn(int folderFd, const std::string& name) { return RemoveIn(folderFd, name); }

bool RemoveTree(const std::filesystem::path& path) {
  if (path.empty() || !path.has_filename()) return false;
  const int parent = OpenParent(path);
  if (parent < 0) return errno == ENOENT;
  const bool removed = RemoveIn(parent, path.filename().string());
  ::close(parent);
  return removed;
}

bool RemoveEmptyFolder(const std::filesystem::path& path) {
  if (path.empty() || !path.has_filename()) return false;
  const int parent = OpenParent(path);
  if (parent < 0) return errno == ENOENT;
  // AT_REMOVEDIR never follows a link: one standing there is ENOTDIR.
  const bool removed =
      ::unlinkat(parent, path.filename().c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT;
  ::close(parent);
  return removed;
}

}  // namespace platform
