#include <platform/file_move.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "file_util.h"

namespace platform {
namespace {

int CopyBytes(int in, int out, off_t size) {
  for (off_t left = size; left > 0;) {
    const ssize_t sent = ::sendfile(out, in, nullptr, static_cast<std::size_t>(left));
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return sent < 0 ? errno : EIO;
    left -= sent;
  }
  return 0;
}

// Puts a finished file under its final name unless that name is taken.
int RenameNoReplace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without the flag: a hard link never replaces either.
  if (::link(from, to) != 0) return errno;
  ::unlink(from);
  return 0;
}

// Copies into a temporary name beside the destination and renames it into
// place once every byte is on disk: the final name never holds a partial
// copy, whatever happens to the process or the machine mid-way.
int CopyIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat info {};
  if (::fstat(in, &info) != 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  std::string temp = (to.parent_path() / ("." + to.filename().string() + ".XXXXXX")).string();
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  int error = ::fchmod(out, info.st_mode & 0777) != 0 ? errno : 0;
  if (error == 0) error = CopyBytes(in, out, info.st_size);
  if (error == 0 && ::fsync(out) != 0) error = errno;
  ::close(in);
  if (::close(out) != 0 && error == 0) error = errno;
  if (error == 0) error = RenameNoReplace(temp.c_str(), to.c_str());
  if (error != 0) ::unlink(temp.c_str());
  return error;
}

}  // namespace

Status MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return kSuccess;
  }
  int error = errno;
  if (error == EXDEV) {
    struct stat existing {};
    error = ::lstat(to.c_str(), &existing) == 0 ? EEXIST : CopyIntoPlace(from, to);
    if (error == 0) ::unlink(from.c_str());
  }
  if (error == EEXIST) return kErrorAlreadyExists;
  return posix::StatusFromErrno(error);
}

}  // namespace platform
