#include <platform/process_lookup.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>

#include "process_lookup_posix.h"

namespace platform {
namespace posix {
namespace {

// The kernel keeps only this many bytes of a program's name in comm.
constexpr std::size_t kCommLength = 15;

std::string WithoutDeletedMark(std::string name) {
  // A program whose file was replaced (an update) or removed still runs.
  static const std::string kDeleted = " (deleted)";
  if (name.size() > kDeleted.size() &&
      name.compare(name.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    name.resize(name.size() - kDeleted.size());
  }
  return name;
}

bool RunsProgram(const std::filesystem::path& entry, const std::string& name) {
  std::error_code linkError;
  const auto exe = std::filesystem::read_symlink(entry / "exe", linkError);
  if (!linkError) return WithoutDeletedMark(exe.filename().string()) == name;
  // No executable to read: only the cut name is left to compare.
  std::ifstream comm(entry / "comm");
  std::string found;
  if (!std::getline(comm, found) || found.empty()) return false;
  return found == name.substr(0, kCommLength);
}

}  // namespace

std::optional<long> FindProcessIn(const std::filesystem::path& proc, uid_t uid,
                                  const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(proc, ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    // Other users' processes are never ours to end.
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) != 0 || info.st_uid != uid) continue;
    if (RunsProgram(entry.path(), name)) return std::stol(pid);
  }
  return std::nullopt;
}

}  // namespace posix

std::optional<long> FindProcessByName(const std::string& name) {
  return posix::FindProcessIn("/proc", ::getuid(), name);
}

bool TerminateProcessById(long id) {
  return id > 0 && ::kill(static_cast<pid_t>(id), SIGTERM) == 0;
}

}  // namespace platform
