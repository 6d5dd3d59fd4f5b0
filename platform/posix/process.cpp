#include <platform/process.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "child_reaper.h"

extern char** environ;

namespace platform {
namespace {

int WaitForExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Starts argv[0] (a path, or a name looked up in PATH) with the arguments as
// they are; file actions may redirect descriptors. -1 on failure.
pid_t Spawn(const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions) {
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> pointers = ArgvPointers(argv);
  // A child starts with nothing blocked and every signal at its default: the
  // caller's thread may have signals blocked, and libcurl ignores SIGPIPE
  // while it transfers, which a child would otherwise inherit.
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  ::sigemptyset(&none);
  ::sigfillset(&all);
  ::sigdelset(&all, SIGKILL);
  ::sigdelset(&all, SIGSTOP);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setsigdefault(&attributes, &all);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int error =
      ::posix_spawnp(&pid, pointers[0], actions, &attributes, pointers.data(), environ);
  ::posix_spawnattr_destroy(&attributes);
  return error == 0 ? pid : -1;
}

class PosixChild final : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    // Nobody asked for the exit code; it is reaped in the background so the
    // child never lingers as a zombie.
    if (!waited_) posix::ReapWhenDone(pid_);
  }
  int Wait() override {
    if (!waited_) {
      exitCode_ = WaitForExit(pid_);
      waited_ = true;
    }
    return exitCode_;
  }
  long Id() const override { return pid_; }

 private:
  pid_t pid_;
  bool waited_ = false;
  int exitCode_ = -1;
};

class PosixOutputPipe final : public OutputPipe {
 public:
  PosixOutputPipe(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
  ~PosixOutputPipe() override { Close(); }

  bool ReadPiece(char* buffer, int size, std::size_t* length) override {
    std::size_t n = 0;
    const std::size_t limit = size > 0 ? static_cast<std::size_t>(size) - 1 : 0;
    while (n < limit) {
      if (begin_ == end_ && !Fill()) break;
      const char c = buffer_[begin_++];
      buffer[n++] = c;
      if (c == '\n') break;
    }
    if (size > 0) buffer[n] = '\0';
    if (length != nullptr) *length = n;
    return n > 0;
  }

  int Close() override {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
      exitCode_ = WaitForExit(pid_);
    }
    return exitCode_;
  }

 private:
  bool Fill() {
    if (fd_ < 0) return false;
    for (;;) {
      const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      begin_ = 0;
      end_ = static_cast<std::size_t>(got);
      return true;
    }
  }

  pid_t pid_;
  int fd_;
  int exitCode_ = -1;
  char buffer_[4096];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace

std::unique_ptr<ChildProcess> StartProcess(const std::vector<std::string>& argv,
                                           const StartOptions& options) {
  (void)options.hidden;  // no console windows to hide here
  const pid_t pid = Spawn(argv, nullptr);
  if (pid < 0) return nullptr;
  auto child = std::make_unique<PosixChild>(pid);
  return child;
}

std::unique_ptr<OutputPipe> StartWithOutputPipe(const std::vector<std::string>& argv) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  const pid_t pid = Spawn(argv, &actions);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return nullptr;
  }
  return std::make_unique<PosixOutputPipe>(pid, fds[0]);
}

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
