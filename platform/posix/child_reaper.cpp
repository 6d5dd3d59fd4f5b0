// One reaper thread for all detached children: it sleeps in poll() on a
// process descriptor per child (readable once the child has ended) and an
// event descriptor that announces new children. Kernels without process
// descriptors get a check once a second instead.
#include "child_reaper.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>
#include <vector>

#include <platform/thread_annotations.h>

namespace platform::posix {
namespace {

struct Watched {
  pid_t pid;
  int pidfd;  // -1: checked by polling
};

class Reaper {
 public:
  void Adopt(pid_t pid) TW_EXCLUDES(mutex_) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    CMutexLock lock(mutex_);
    if (wake_ < 0) {
      wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      // The thread outlives every caller; the process end takes it.
      std::thread(&Reaper::Loop, this).detach();
    }
    incoming_.push_back({pid, pidfd});
    const std::uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
  }

 private:
  // The reaper thread: the children it watches are its own, not locked.
  void Loop() TW_EXCLUDES(mutex_) {
    std::vector<Watched> watched;
    int wake = -1;
    for (;;) {
      {
        CMutexLock lock(mutex_);
        wake = wake_;
        watched.insert(watched.end(), incoming_.begin(), incoming_.end());
        incoming_.clear();
      }
      std::vector<pollfd> fds{{wake, POLLIN, 0}};
      bool anyPolled = false;
      for (const Watched& child : watched) {
        if (child.pidfd >= 0) {
          fds.push_back({child.pidfd, POLLIN, 0});
        } else {
          anyPolled = true;
        }
      }
      if (::poll(fds.data(), fds.size(), anyPolled ? 1000 : -1) < 0 && errno != EINTR) {
        ::sleep(1);  // nothing sensible to do but try again later
      }
      std::uint64_t count = 0;
      (void)!::read(wake, &count, sizeof count);
      std::erase_if(watched, [](const Watched& child) {
        int status = 0;
        const pid_t done = ::waitpid(child.pid, &status, WNOHANG);
        if (done == 0 || (done < 0 && errno == EINTR)) return false;  // still running
        if (child.pidfd >= 0) ::close(child.pidfd);
        return true;  // reaped, or not ours to reap any more
      });
    }
  }

  CMutex mutex_;
  int wake_ TW_GUARDED_BY(mutex_) = -1;                  // set once, with the thread's start
  std::vector<Watched> incoming_ TW_GUARDED_BY(mutex_);  // adopted, not yet watched
};

Reaper& TheReaper() {
  static Reaper* reaper = new Reaper;  // never destroyed: its thread may still run at exit
  return *reaper;
}

}  // namespace

void ReapWhenDone(pid_t pid) {
  if (pid > 0) TheReaper().Adopt(pid);
}

}  // namespace platform::posix
