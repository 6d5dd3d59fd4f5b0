#include <package/download_folder.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <config/app_constants.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>

namespace {

constexpr const char* kPartialPrefix = "package-";
constexpr const char* kPartialSuffix = ".part";

// A folder below parent that is ours alone: made 0700 when missing, never a
// link, owned by us; a folder of ours with wider rights is narrowed.
int OpenPrivateFolder(int parent, const char* name) {
  if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return -1;
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() ||
      ((info.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool IsPartialName(const char* name) {
  const std::size_t length = std::strlen(name);
  const std::size_t prefix = std::strlen(kPartialPrefix);
  const std::size_t suffix = std::strlen(kPartialSuffix);
  return length > prefix + suffix && std::strncmp(name, kPartialPrefix, prefix) == 0 &&
         std::strcmp(name + length - suffix, kPartialSuffix) == 0;
}

}  // namespace

std::string PrivateDownloadFolder() {
  const std::string base = platform::WideToOsNarrow(platform::LocalAppDataFolder());
  const std::string product = platform::WideToOsNarrow(GetAppConstants().productFolderName);
  if (base.empty() || base.front() != '/') return {};
  // Missing levels of the data folder itself are made private too.
  for (std::size_t slash = base.find('/', 1);; slash = base.find('/', slash + 1)) {
    ::mkdir(base.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
  // The local data folder itself is the user's (it may be a link to another
  // disk); below it, both levels are checked.
  const int top = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (top < 0) return {};
  const int productFd = OpenPrivateFolder(top, product.c_str());
  ::close(top);
  if (productFd < 0) return {};
  const int downloads = OpenPrivateFolder(productFd, "downloads");
  ::close(productFd);
  if (downloads < 0) return {};
  ::close(downloads);
  return base + "/" + product + "/downloads";
}

int CreatePartialFile(const std::string& folder, std::string* path) {
  if (folder.empty()) return -1;
  std::string name = folder + "/" + kPartialPrefix + "XXXXXX" + kPartialSuffix;
  // mkostemps: O_CREAT|O_EXCL (a planted link or file is never opened), 0600.
  const int fd = ::mkostemps(name.data(), static_cast<int>(std::strlen(kPartialSuffix)), O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::unlink(name.c_str());
    ::close(fd);
    return -1;
  }
  *path = name;
  return fd;
}

int RemoveStalePartials(const std::string& folder) {
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsPartialName(entry->d_name)) continue;
    const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    // Only a regular file no transfer holds (a running one keeps its lock).
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::unlinkat(dirFd, entry->d_name, 0) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}
