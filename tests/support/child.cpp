#include "child.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& argv,
            const posix_spawn_file_actions_t* actions = nullptr) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  return ::posix_spawn(&pid, args[0], actions, nullptr, args.data(), environ) == 0 ? pid : -1;
}

// A private, already unlinked file for a child's output stream.
int OutputFile() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tidewell-out-XXXXXX").string();
  const int fd = ::mkstemp(pattern.data());
  if (fd >= 0) ::unlink(pattern.c_str());
  return fd;
}

std::string ReadBack(int fd) {
  std::string text;
  char block[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(fd, block, sizeof block)) > 0;)
    text.append(block, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

ChildResult WaitChild(pid_t pid, double timeoutSeconds,
                      std::chrono::steady_clock::time_point start) {
  ChildResult result;
  result.started = true;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done == pid) break;
    if (result.seconds > timeoutSeconds) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

}  // namespace

ChildResult RunChildWithOutput(const std::vector<std::string>& argv, double timeoutSeconds) {
  const int out = OutputFile();
  const int err = OutputFile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn(argv, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ChildResult result = pid < 0 ? ChildResult() : WaitChild(pid, timeoutSeconds, start);
  result.output = ReadBack(out);
  result.errors = ReadBack(err);
  return result;
}

ChildResult RunChild(const std::vector<std::string>& argv, double timeoutSeconds) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn(argv);
  if (pid < 0) return ChildResult();
  return WaitChild(pid, timeoutSeconds, start);
}

BackgroundChild::BackgroundChild(const std::vector<std::string>& argv) : pid_(Spawn(argv)) {}

BackgroundChild::~BackgroundChild() { Stop(); }

bool BackgroundChild::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

void BackgroundChild::Stop() {
  if (pid_ <= 0) return;
  ::kill(static_cast<pid_t>(pid_), SIGTERM);
  int status = 0;
  ::waitpid(static_cast<pid_t>(pid_), &status, 0);
  pid_ = -1;
}
