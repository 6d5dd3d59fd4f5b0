#include "vendor_service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "built_programs.h"
#include "temp_home.h"

namespace fs = std::filesystem;

extern char** environ;

VendorServiceProcess::VendorServiceProcess(const std::vector<std::string>& extraArgs) {
  std::string pattern = (fs::temp_directory_path() / "tidewell-vendor-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  std::vector<std::string> argv = {built::VendorServiceProgram(),
                                   "--port",
                                   "0",
                                   "--port-file",
                                   (folder_ / "port").string(),
                                   "--event-log",
                                   (folder_ / "events.log").string()};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = (folder_ / "output.log").string();
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int status = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) return;
  pid_ = pid;

  // The port file appears, whole, once the program listens.
  for (int i = 0; i < 2000 && port_ <= 0; ++i) {
    const std::string text = ReadTextFile(folder_ / "port");
    if (!text.empty()) port_ = std::atoi(text.c_str());
    int waitStatus = 0;
    if (port_ <= 0 && ::waitpid(pid, &waitStatus, WNOHANG) == pid) {
      pid_ = -1;  // it ended without listening
      return;
    }
    if (port_ <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

VendorServiceProcess::~VendorServiceProcess() {
  Stop();
  std::error_code ec;
  if (!folder_.empty()) fs::remove_all(folder_, ec);
}

std::string VendorServiceProcess::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<LoggedEvent> VendorServiceProcess::Events() const {
  std::vector<LoggedEvent> events;
  std::istringstream lines(ReadTextFile(folder_ / "events.log"));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    fields.resize(6);
    events.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
  }
  return events;
}

std::vector<std::string> VendorServiceProcess::EventNames() const {
  std::vector<std::string> names;
  for (const auto& event : Events()) names.push_back(event.event);
  return names;
}

std::string VendorServiceProcess::Output() const { return ReadTextFile(folder_ / "output.log"); }

int VendorServiceProcess::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(static_cast<pid_t>(pid_), SIGTERM);
  int status = 0;
  ::waitpid(static_cast<pid_t>(pid_), &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
