#include <platform/process_lookup.h>

#include <signal.h>

#include <cctype>
#include <filesystem>
#include <fstream>

namespace platform {

std::optional<long> FindProcessByName(const std::string& name) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    // The executable's file name; comm is cut at 15 bytes, so prefer exe.
    std::error_code linkError;
    const auto exe = std::filesystem::read_symlink(entry.path() / "exe", linkError);
    std::string found;
    if (!linkError) {
      found = exe.filename().string();
    } else {
      std::ifstream comm(entry.path() / "comm");
      std::getline(comm, found);
    }
    if (found == name) return std::stol(pid);
  }
  return std::nullopt;
}

bool TerminateProcessById(long id) {
  return id > 0 && ::kill(static_cast<pid_t>(id), SIGTERM) == 0;
}

}  // namespace platform
