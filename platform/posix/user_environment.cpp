// The user environment on POSIX: NAME=VALUE lines in systemd's per-user
// environment.d, which the session manager reads at the next login; a running
// user manager is told at once through systemctl. That reader takes '\' as an
// escape, quotes and blanks at the ends as syntax, and expands "$NAME", so a
// value is stored escaped; a line break would start a second assignment, so
// such a value is refused.
#include <platform/user_environment.h>

#include <sstream>

#include <platform/atomic_file.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/thread_annotations.h>
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

void SystemctlBroadcast(std::wstring_view name, std::wstring_view value) {
  // Best effort: without a user manager it only complains, to nobody.
  StartOptions options;
  options.outputFile = "/dev/null";
  auto child = StartProcess(
      {"systemctl", "--user", "set-environment", WideToUtf8(name) + "=" + WideToUtf8(value)},
      options);
  if (child) child->Wait();
}

bool IsVariableName(std::wstring_view name) {
  if (name.empty() || (name[0] >= L'0' && name[0] <= L'9')) return false;
  for (const wchar_t c : name) {
    const bool ok = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                    (c >= L'0' && c <= L'9') || c == L'_';
    if (!ok) return false;
  }
  return true;
}

bool IsStorableValue(std::wstring_view value) {
  return value.find_first_of(std::wstring_view(L"\n\r\0", 3)) == std::wstring_view::npos;
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

}  // namespace

std::optional<EnvWriteError> WriteUserEnvironmentValue(std::wstring_view name,
                                                       std::wstring_view value) {
  const std::string utf8Value = WideToUtf8(value);
  if (!IsVariableName(name) || !IsStorableValue(value) || (utf8Value.empty() && !value.empty())) {
    return EnvWriteError{EnvWriteStep::Set, kErrorInvalidParameter};
  }
  const fs::path folder = OsPath(RoamingAppDataFolder()) / "environment.d";
  if (const int error = CreatePrivateFolders(folder); error != 0) {
    return EnvWriteError{EnvWriteStep::Open, posix::StatusFromErrno(error)};
  }
  posix::FileLock lock(folder / ".tidewell.lock");
  if (!lock.Held()) {
    return EnvWriteError{EnvWriteStep::Open, posix::StatusFromErrno(lock.Error())};
  }

  const fs::path file = folder / "tidewell.conf";
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

void BroadcastEnvironmentChange(std::wstring_view name, std::wstring_view value) {
  EnvironmentBroadcast broadcast;
  {
    BroadcastHook& hook = Hook();
    CMutexLock lock(hook.mutex);
    broadcast = hook.replacement;
  }
  if (broadcast) {
    broadcast(name, value);
  } else {
    SystemctlBroadcast(name, value);
  }
}

void SetEnvironmentBroadcastForTesting(EnvironmentBroadcast broadcast) {
  BroadcastHook& hook = Hook();
  CMutexLock lock(hook.mutex);
  hook.replacement = std::move(broadcast);
}

}  // namespace platform
