#include <platform/file_move.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_util.h"

namespace platform {
namespace {

// Copies into a destination that must not exist yet; removes a partial copy.
int CopyExclusive(const std::filesystem::path& from, const std::filesystem::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat info {};
  ::fstat(in, &info);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  int error = 0;
  for (off_t left = info.st_size; left > 0;) {
    const ssize_t sent = ::sendfile(out, in, nullptr, static_cast<std::size_t>(left));
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) {
      error = sent < 0 ? errno : EIO;
      break;
    }
    left -= sent;
  }
  ::close(in);
  if (::close(out) != 0 && error == 0) error = errno;
  if (error != 0) ::unlink(to.c_str());
  return error;
}

}  // namespace

Status MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return kSuccess;
  }
  int error = errno;
  if (error == EXDEV) {
    error = CopyExclusive(from, to);
    if (error == 0) ::unlink(from.c_str());
  }
  if (error == EEXIST) return kErrorAlreadyExists;
  return posix::StatusFromErrno(error);
}

}  // namespace platform
