// The user environment on POSIX: NAME=VALUE lines in systemd's per-user
// environment.d, which the session manager reads at the next login; a running
// user manager is told at once through systemctl.
#include <platform/user_environment.h>

#include <mutex>
#include <sstream>

#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/utf.h>

#include "file_util.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

struct BroadcastHook {
  std::mutex mutex;
  EnvironmentBroadcast replacement;
};

BroadcastHook& Hook() {
  static BroadcastHook hook;
  return hook;
}

void SystemctlBroadcast(std::wstring_view name, std::wstring_view value) {
  auto child = StartProcess(
      {"systemctl", "--user", "set-environment", WideToUtf8(name) + "=" + WideToUtf8(value)});
  if (child) child->Wait();
}

}  // namespace

std::optional<EnvWriteError> WriteUserEnvironmentValue(std::wstring_view name,
                                                       std::wstring_view value) {
  const fs::path folder = OsPath(RoamingAppDataFolder()) / "environment.d";
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return EnvWriteError{EnvWriteStep::Open, posix::StatusFromErrno(ec.value())};
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
  const std::string line = prefix + WideToUtf8(value);
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
  if (const int error = posix::WriteFileAtomically(file, out); error != 0) {
    return EnvWriteError{EnvWriteStep::Set, posix::StatusFromErrno(error)};
  }
  return std::nullopt;
}

void BroadcastEnvironmentChange(std::wstring_view name, std::wstring_view value) {
  EnvironmentBroadcast broadcast;
  {
    std::lock_guard lock(Hook().mutex);
    broadcast = Hook().replacement;
  }
  if (broadcast) {
    broadcast(name, value);
  } else {
    SystemctlBroadcast(name, value);
  }
}

void SetEnvironmentBroadcastForTesting(EnvironmentBroadcast broadcast) {
  std::lock_guard lock(Hook().mutex);
  Hook().replacement = std::move(broadcast);
}

}  // namespace platform
