// The user environment on POSIX: NAME=VALUE lines in systemd's per-user
// environment.d, which the session manager reads at the next login; a running
// user manager is told at once through systemctl. That reader takes '\' as an
// escape, quotes and blanks at the ends as syntax, and expands "$NAME", so a
// value is stored escaped; a line break would start a second assignment, so
// such a value is refused.
#include <platform/user_environment.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include <platform/atomic_file.h>
#include <platform/environment_text.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/thread_annotations.h>
#include <platform/tree_removal.h>
#include <platform/utf.h>

#include "file_util.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

struct BroadcastHook {
  CMutex mutex;
  EnvironmentBroadcast replacement TW_GUARDED_BY(mutex);
};

BroadcastHook& Hook() {
  static BroadcastHook hook;
  return hook;
}

// Best effort: without a user manager systemctl only complains, to nobody.
void RunSystemctl(std::vector<std::string> argv) {
  StartOptions options;
  options.outputFile = "/dev/null";
  argv.insert(argv.begin(), {"systemctl", "--user"});
  if (auto child = StartProcess(argv, options)) child->Wait();
}

// Runs the replacement when tests set one, else the real announcement.
void Announce(std::wstring_view name, std::wstring_view value, const std::function<void()>& real) {
  EnvironmentBroadcast broadcast;
  {
    BroadcastHook& hook = Hook();
    CMutexLock lock(hook.mutex);
    broadcast = hook.replacement;
  }
  if (broadcast) {
    broadcast(name, value);
  } else {
    real();
  }
}



std::string EscapeEnvironmentValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const bool atEnd = i == 0 || i + 1 == value.size();
    if (c == '$') {
      out += "$$";  // the expansion step reads "$$" as one '$'
      continue;
    }
    if (c == '\\' || c == '"' || c == '\'' || (atEnd && (c == ' ' || c == '\t'))) out += '\\';
    out += c;
  }
  return out;
}

// The reverse of EscapeEnvironmentValue.
std::string UnescapeEnvironmentValue(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if ((stored[i] == '\\' ||
         (stored[i] == '$' && i + 1 < stored.size() && stored[i + 1] == '$')) &&
        i + 1 < stored.size()) {
      ++i;
    }
    out += stored[i];
  }
  return out;
}

// The value a file's NAME= lines give; the last one where later lines win
// (as systemd reads them), else the first.
std::optional<std::wstring> AssignedIn(const std::string& text, std::wstring_view name,
                                       bool lastWins) {
  const std::string prefix = WideToUtf8(name) + "=";
  std::optional<std::wstring> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) != 0) continue;
    found = Utf8ToWide(UnescapeEnvironmentValue(line.substr(prefix.size())));
    if (!lastWins) break;
  }
  return found;
}

fs::path EnvironmentFolder() { return OsPath(RoamingAppDataFolder()) / "environment.d"; }
fs::path EnvironmentFile() { return EnvironmentFolder() / "tidewell.conf"; }

}  // namespace

std::optional<EnvWriteError> WriteUserEnvironmentValue(std::wstring_view name,
                                                       std::wstring_view value) {
  const std::string utf8Value = WideToUtf8(value);
  if (!IsEnvironmentVariableName(name) || !IsStorableEnvironmentValue(value) || (utf8Value.empty() && !value.empty())) {
    return EnvWriteError{EnvWriteStep::Set, kErrorInvalidParameter};
  }
  const fs::path folder = EnvironmentFolder();
  if (const int error = CreatePrivateFolders(folder); error != 0) {
    return EnvWriteError{EnvWriteStep::Open, posix::StatusFromErrno(error)};
  }
  posix::FileLock lock(folder / ".tidewell.lock");
  if (!lock.Held()) {
    return EnvWriteError{EnvWriteStep::Open, posix::StatusFromErrno(lock.Error())};
  }

  const fs::path file = EnvironmentFile();
  std::string existing;
  const int readError = posix::ReadFileBytes(file, &existing);
  if (readError != 0 && readError != ENOENT) {
    return EnvWriteError{EnvWriteStep::Open, posix::StatusFromErrno(readError)};
  }
  // Keep every other line; the variable's line is replaced in place.
  const std::string prefix = WideToUtf8(name) + "=";
  const std::string line = prefix + EscapeEnvironmentValue(utf8Value);
  std::istringstream in(existing);
  std::string out;
  bool replaced = false;
  for (std::string current; std::getline(in, current);) {
    if (current.rfind(prefix, 0) == 0) {
      if (replaced) continue;
      current = line;
      replaced = true;
    }
    out += current + "\n";
  }
  if (!replaced) out += line + "\n";
  if (const int error = WriteFileAtomically(file, out); error != 0) {
    return EnvWriteError{EnvWriteStep::Set, posix::StatusFromErrno(error)};
  }
  return std::nullopt;
}

std::optional<std::wstring> ReadUserEnvironmentValue(std::wstring_view name) {
  if (!IsEnvironmentVariableName(name)) return std::nullopt;
  std::string existing;
  if (posix::ReadFileBytes(EnvironmentFile(), &existing) != 0) return std::nullopt;
  return AssignedIn(existing, name, false);
}

bool RemoveUserEnvironmentValue(std::wstring_view name) {
  if (!IsEnvironmentVariableName(name)) return false;
  const fs::path file = EnvironmentFile();
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file.parent_path(), ec))) return true;
  posix::FileLock lock(file.parent_path() / ".tidewell.lock");
  if (!lock.Held()) return false;
  std::string existing;
  if (const int error = posix::ReadFileBytes(file, &existing); error != 0) return error == ENOENT;
  const std::string prefix = WideToUtf8(name) + "=";
  std::istringstream in(existing);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) != 0) out += line + "\n";
  }
  if (out.size() == existing.size()) return true;
  // Our file alone holds our entries: once empty it goes, and its lock.
  if (out.empty()) {
    fs::remove(file, ec);
    if (ec) return false;
    fs::remove(file.parent_path() / ".tidewell.lock", ec);
    RemoveEmptyFolder(file.parent_path());
    return true;
  }
  return WriteFileAtomically(file, out) == 0;
}

std::optional<std::wstring> UsersOwnEnvironmentValue(std::wstring_view name) {
  if (!IsEnvironmentVariableName(name)) return std::nullopt;
  // systemd reads every *.conf in name order and the last assignment wins;
  // any file but ours that sets the name is the user's choice.
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(EnvironmentFolder(), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->path().extension() == ".conf" && it->path().filename() != EnvironmentFile().filename())
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::optional<std::wstring> found;
  for (const fs::path& file : files) {
    std::string text;
    if (posix::ReadFileBytes(file, &text) != 0) continue;
    if (auto value = AssignedIn(text, name, true)) found = std::move(value);
  }
  return found;
}

bool UserEnvironmentStoreIsOurOwn() { return true; }

void BroadcastEnvironmentChange(std::wstring_view name, std::wstring_view value) {
  Announce(name, value, [&] {
    RunSystemctl({"set-environment", WideToUtf8(name) + "=" + WideToUtf8(value)});
  });
}

void BroadcastEnvironmentRemoval(std::wstring_view name) {
  Announce(name, L"", [&] { RunSystemctl({"unset-environment", WideToUtf8(name)}); });
}

void SetEnvironmentBroadcastForTesting(EnvironmentBroadcast broadcast) {
  BroadcastHook& hook = Hook();
  CMutexLock lock(hook.mutex);
  hook.replacement = std::move(broadcast);
}

}  // namespace platform
