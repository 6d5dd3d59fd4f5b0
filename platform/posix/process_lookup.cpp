#include <platform/process_lookup.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iterator>

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

// The numeric entries of a procfs folder that belong to uid.
template <typename Visit>
void ForEachProcessOf(const std::filesystem::path& proc, uid_t uid, Visit visit) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(proc, ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.size() > 9) continue;
    bool digits = true;
    for (const char c : pid) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits) continue;
    // Other users' processes are never ours to end.
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) != 0 || info.st_uid != uid) continue;
    if (!visit(entry.path(), std::stol(pid))) return;
  }
}

// True when path lies below folder: whole components, not a name prefix
// ("/a/chatbox2" is not inside "/a/chatbox").
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty() && std::next(f) == folder.end()) break;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return p != path.end();
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
  std::optional<long> found;
  ForEachProcessOf(proc, uid, [&](const std::filesystem::path& entry, long pid) {
    if (RunsProgram(entry, name)) found = pid;
    return !found;
  });
  return found;
}

std::vector<long> FindProcessesInFolderIn(const std::filesystem::path& proc, uid_t uid,
                                          const std::filesystem::path& folder) {
  std::vector<long> found;
  if (folder.empty() || !folder.is_absolute()) return found;
  ForEachProcessOf(proc, uid, [&](const std::filesystem::path& entry, long pid) {
    // The kernel's own link to the program file, every link resolved; a
    // process that has ended (a zombie) has none and is not listed.
    std::error_code linkError;
    const auto exe = std::filesystem::read_symlink(entry / "exe", linkError);
    if (!linkError && IsInside(WithoutDeletedMark(exe.string()), folder)) found.push_back(pid);
    return true;
  });
  return found;
}

}  // namespace posix

std::optional<long> FindProcessByName(const std::string& name) {
  return posix::FindProcessIn("/proc", ::getuid(), name);
}

std::vector<long> FindProcessesInFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  const auto resolved = std::filesystem::canonical(folder, ec);
  if (ec) return {};
  std::vector<long> found = posix::FindProcessesInFolderIn("/proc", ::getuid(), resolved);
  std::erase(found, static_cast<long>(::getpid()));  // never this program itself
  return found;
}

bool TerminateProcessById(long id) {
  return id > 0 && ::kill(static_cast<pid_t>(id), SIGTERM) == 0;
}

bool KillProcessById(long id) { return id > 0 && ::kill(static_cast<pid_t>(id), SIGKILL) == 0; }

}  // namespace platform
