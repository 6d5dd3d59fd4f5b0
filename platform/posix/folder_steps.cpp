#include <platform/folder_steps.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <platform/tree_removal.h>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#define TIDEWELL_HAVE_OPENAT2 1
#endif

namespace platform {
namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}  // namespace

NativeFile OpenFolder(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

NativeFile OpenFolderNotLink(const std::filesystem::path& path) {
  return ::open(path.c_str(), kFolderFlags);
}

NativeFile OpenChildFolder(NativeFile dir, const std::string& name, unsigned mode) {
  for (int tries = 0; tries < 4; ++tries) {
    const int fd = ::openat(dir, name.c_str(), kFolderFlags);
    if (fd >= 0) return fd;
    if (errno == ENOENT) {
      if (::mkdirat(dir, name.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
        return -1;
      }
      continue;
    }
    if (errno != ELOOP && errno != ENOTDIR) return -1;
    struct stat info {};
    if (::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    // A link is the folder's place taken: it goes. A file stays.
    if (!S_ISLNK(info.st_mode)) {
      errno = ENOTDIR;
      return -1;
    }
    if (::unlinkat(dir, name.c_str(), 0) != 0) return -1;
  }
  return -1;
}

#ifdef TIDEWELL_HAVE_OPENAT2
// The kernel refuses links and steps out of the root.
NativeFile OpenFolderPathBeneath(NativeFile root, const std::string& relative) {
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how));
}
#else
NativeFile OpenFolderPathBeneath(NativeFile, const std::string&) { return -1; }
#endif

NativeFile OpenPrivateChildFolder(NativeFile parent, const std::string& name) {
  if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  const int fd = ::openat(parent, name.c_str(), kFolderFlags);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() ||
      ((info.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int MakeFolderIn(NativeFile dir, const std::string& name, unsigned mode) {
  return ::mkdirat(dir, name.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

NativeFile CreateNewFileIn(NativeFile dir, const std::string& name, unsigned mode) {
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  return ::openat(dir, name.c_str(), kCreate, static_cast<mode_t>(mode));
}

NativeFile OpenFileIn(NativeFile dir, const std::string& name) {
  return ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool RemoveIn(NativeFile dir, const std::string& name) {
  return ::unlinkat(dir, name.c_str(), 0) == 0;
}

bool RemoveTreeBeneath(NativeFile dir, const std::string& name) { return RemoveTreeIn(dir, name); }

std::vector<std::string> FolderNames(NativeFile dir) {
  std::vector<std::string> names;
  // A descriptor of its own: closedir closes it, the caller's stays open.
  const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(listing);
  return names;
}

int RenameIn(NativeFile dir, const std::string& from, const std::string& to, RenameMode mode) {
  int done = -1;
  switch (mode) {
    case RenameMode::Exchange:
      done = ::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_EXCHANGE);
      break;
    case RenameMode::NoReplace:
      done = ::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE);
      break;
    case RenameMode::Replace:
      done = ::renameat(dir, from.c_str(), dir, to.c_str());
      break;
  }
  return done == 0 ? 0 : errno;
}

}  // namespace platform
