#include <platform/process.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// This process's environment with the overrides applied (NAME=VALUE each).
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> merged;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const std::string& o : overrides) replaced = replaced || nameOf(o) == nameOf(text);
    if (!replaced) merged.push_back(text);
  }
  for (const std::string& o : overrides) {
    if (o.find('=') != std::string::npos) merged.push_back(o);
  }
  return merged;
}

// Starts argv[0] (a path, or a name looked up in PATH) with the arguments as
// they are; file actions may redirect descriptors. -1 on failure.
pid_t Spawn(const std::vector<std::string>& argv, posix_spawn_file_actions_t* actions,
            const std::vector<std::string>& environment = {}) {
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> pointers = ArgvPointers(argv);
  std::vector<std::string> merged;
  std::vector<char*> envPointers;
  char** envp = environ;
  if (!environment.empty()) {
    merged = MergedEnvironment(environment);
    envPointers = ArgvPointers(merged);
    envp = envPointers.data();
  }
  // Only the standard descriptors reach the child: a long-lived program we
  // start (the runner's server) must not keep our lock or sockets open.
  posix_spawn_file_actions_t own;
  if (actions == nullptr) {
    ::posix_spawn_file_actions_init(&own);
    actions = &own;
  }
  ::posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1);
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
  const int error = ::posix_spawnp(&pid, pointers[0], actions, &attributes, pointers.data(), envp);
  ::posix_spawnattr_destroy(&attributes);
  if (actions == &own) ::posix_spawn_file_actions_destroy(&own);
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
  bool HasExited() override {
    if (waited_) return true;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      waited_ = true;
    }
    return waited_;
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

  long ReadSome(char* buffer, std::size_t size, int timeoutMs) override {
    if (size == 0) return 0;
    if (begin_ == end_) {
      if (fd_ < 0) return -1;
      pollfd p{fd_, POLLIN, 0};
      int ready = 0;
      do {
        ready = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
      } while (ready < 0 && errno == EINTR);
      if (ready == 0) return 0;
      if (!Fill()) return -1;
    }
    const std::size_t n = std::min(size, end_ - begin_);
    std::memcpy(buffer, buffer_ + begin_, n);
    begin_ += n;
    return static_cast<long>(n);
  }

  void Kill() override {
    if (fd_ >= 0) ::kill(pid_, SIGKILL);
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
  int out = -1;
  if (!options.outputFile.empty()) {
    out = ::open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW,
                 0600);
    if (out < 0) return nullptr;
  }
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (out >= 0) {
    ::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out, STDERR_FILENO);
  }
  if (!options.workingDirectory.empty()) {
    ::posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }
  const pid_t pid = Spawn(argv, &actions, options.environment);
  ::posix_spawn_file_actions_destroy(&actions);
  if (out >= 0) ::close(out);
  if (pid < 0) return nullptr;
  auto child = std::make_unique<PosixChild>(pid);
  return child;
}

std::unique_ptr<OutputPipe> StartWithOutputPipe(const std::vector<std::string>& argv,
                                                const PipeOptions& options) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  if (options.withErrors) ::posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  const pid_t pid = Spawn(argv, &actions, options.environment);
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
