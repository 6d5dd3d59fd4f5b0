#include <platform/instance_lock.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include <platform/known_folders.h>
#include <platform/os_encoding.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

class FlockInstanceLock final : public InstanceLock {
 public:
  explicit FlockInstanceLock(int fd) : fd_(fd) {}
  ~FlockInstanceLock() override { ::close(fd_); }

 private:
  int fd_;
};

// The session's runtime folder is the user's own. Without one, the shared
// temporary folder gets a folder per user (the uid in its name) that must be
// a real folder, ours and closed to others: a lock file in the open would let
// any other user hold our lock, or plant a link for us to follow.
std::optional<fs::path> LockFolder() {
  const fs::path runtime = OsPath(RuntimeFolder());
  const fs::path temp = OsPath(TempFolder());
  if (runtime != temp) return runtime;
  const fs::path folder = temp / ("tidewell-" + std::to_string(::geteuid()));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    return std::nullopt;
  }
  if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return std::nullopt;
  return folder;
}

}  // namespace

InstanceLockResult AcquireInstanceLock(const std::wstring& name,
                                       std::unique_ptr<InstanceLock>* lock) {
  const std::optional<fs::path> folder = LockFolder();
  if (!folder) return InstanceLockResult::Failed;
  const fs::path file = *folder / (WideToOsNarrow(name) + ".lock");
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return InstanceLockResult::Failed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? InstanceLockResult::AlreadyHeld : InstanceLockResult::Failed;
  }
  *lock = std::make_unique<FlockInstanceLock>(fd);
  return InstanceLockResult::Acquired;
}

}  // namespace platform
