#include <platform/atomic_file.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {
namespace {

int WriteAll(int fd, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// The rename itself reaches the disk only with its folder.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int WriteFileAtomically(const std::filesystem::path& path, std::string_view data) {
  if (path.filename().empty()) return EISDIR;
  // A hidden, unguessable name beside the target: same file system, so the
  // rename is atomic; created exclusively, so nothing planted is followed.
  std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int error = ::fchmod(fd, 0600) != 0 ? errno : 0;
  if (error == 0) error = WriteAll(fd, data);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return error;
  }
  SyncFolder(path.parent_path());
  return 0;
}

int CreatePrivateFolders(const std::filesystem::path& folder) {
  if (folder.empty()) return ENOENT;
  std::filesystem::path prefix;
  for (const auto& part : folder) {
    prefix /= part;
    if (::mkdir(prefix.c_str(), 0700) == 0 || errno == EEXIST) continue;
    const int error = errno;
    struct stat info {};
    // No right to create a parent that is already there (say /home) is fine.
    if (::stat(prefix.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    return error;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return errno;
  return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

int CreateOwnPrivateFolder(const std::filesystem::path& folder) {
  if (const int error = CreatePrivateFolders(folder); error != 0) return error;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
    if (::chmod(folder.c_str(), info.st_mode & 0700) != 0) return errno;
  }
  return 0;
}

}  // namespace platform
