#include <platform/instance_lock.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <platform/known_folders.h>
#include <platform/os_encoding.h>

namespace platform {
namespace {

class FlockInstanceLock final : public InstanceLock {
 public:
  explicit FlockInstanceLock(int fd) : fd_(fd) {}
  ~FlockInstanceLock() override { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace

InstanceLockResult AcquireInstanceLock(const std::wstring& name,
                                       std::unique_ptr<InstanceLock>* lock) {
  const auto file = OsPath(RuntimeFolder()) / (WideToOsNarrow(name) + ".lock");
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
