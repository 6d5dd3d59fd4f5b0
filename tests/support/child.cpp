#include "child.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  return ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0 ? pid : -1;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, double timeoutSeconds) {
  ChildResult result;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn(argv);
  if (pid < 0) return result;
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
