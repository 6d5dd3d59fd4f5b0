#include <package/path_beneath.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include <platform/tree_removal.h>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#define TIDEWELL_HAVE_OPENAT2 1
#endif

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// One step down: the folder part in dir, made when missing.
int OpenStep(int dir, const std::string& part) {
  for (int tries = 0; tries < 4; ++tries) {
    const int fd = ::openat(dir, part.c_str(), kFolderFlags);
    if (fd >= 0) return fd;
    if (errno == ENOENT) {
      if (::mkdirat(dir, part.c_str(), 0755) != 0 && errno != EEXIST) return -1;
      continue;
    }
    if (errno != ELOOP && errno != ENOTDIR) return -1;
    struct stat info {};
    if (::fstatat(dir, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    // A link is the archive's folder's place taken: it goes. A file stays
    // and the entry is refused.
    if (!S_ISLNK(info.st_mode) || ::unlinkat(dir, part.c_str(), 0) != 0) return -1;
  }
  return -1;
}

#ifdef TIDEWELL_HAVE_OPENAT2
// The whole way in one call when every step already exists as a folder;
// the kernel refuses links and steps out of the root.
int OpenExisting(int rootFd, const std::string& relative) {
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how));
}
#else
int OpenExisting(int, const std::string&) { return -1; }
#endif

}  // namespace

int OpenFolderBeneath(int rootFd, const std::string& relative) {
  if (relative.empty()) return ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
  if (const int fd = OpenExisting(rootFd, relative); fd >= 0) return fd;
  int current = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
  std::size_t start = 0;
  while (current >= 0 && start < relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) {
      const std::string part = relative.substr(start, end - start);
      if (part == "." || part == "..") {
        ::close(current);
        return -1;
      }
      const int next = OpenStep(current, part);
      ::close(current);
      current = next;
    }
    start = end + 1;
  }
  return current;
}

int CreateFileIn(int folderFd, const std::string& name, unsigned mode) {
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(folderFd, name.c_str(), kCreate, mode);
  if (fd < 0 && errno == EEXIST && ::unlinkat(folderFd, name.c_str(), 0) == 0) {
    fd = ::openat(folderFd, name.c_str(), kCreate, mode);
  }
  return fd;
}

bool RemoveBeneath(int dirFd, const std::string& name) {
  return platform::RemoveTreeIn(dirFd, name);
}
