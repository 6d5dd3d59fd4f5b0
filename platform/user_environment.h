#pragma once
// Per-user environment variables that programs started later will see
// (HKCU\Environment on Windows, systemd's environment.d here).
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <platform/status.h>

namespace platform {

enum class EnvWriteStep { Open, Set };

struct EnvWriteError {
  EnvWriteStep step;
  Status code;
};

// Stores NAME=value for the user; nothing on success. The value reads back
// exactly as given. A name outside [A-Za-z_][A-Za-z0-9_]*, or a value holding
// a line break or a zero, is refused (kErrorInvalidParameter at the Set step)
// and nothing is written.
std::optional<EnvWriteError> WriteUserEnvironmentValue(std::wstring_view name,
                                                       std::wstring_view value);

// The value stored for the user, as it was given; nothing when none is.
std::optional<std::wstring> ReadUserEnvironmentValue(std::wstring_view name);

// Removes the user's NAME entry (and the file that held it, once empty).
// True when no entry is left, also when there was none.
bool RemoveUserEnvironmentValue(std::wstring_view name);

// A value the user set for NAME themselves, outside what we write (another
// environment.d file here; nothing on Windows, where the one store is
// shared and the caller's record tells whose value it holds).
std::optional<std::wstring> UsersOwnEnvironmentValue(std::wstring_view name);
// True where what we write is a file of our own (here), so any value in it
// is ours; false where the store is shared with the user (Windows).
bool UserEnvironmentStoreIsOurOwn();

// Tells running programs that the user environment changed. Best effort.
void BroadcastEnvironmentChange(std::wstring_view name, std::wstring_view value);

// Tells running programs that the entry is gone (a replaced broadcast hears
// an empty value). Best effort.
void BroadcastEnvironmentRemoval(std::wstring_view name);
// Tests replace the broadcast so that they never touch the real session.
using EnvironmentBroadcast = std::function<void(std::wstring_view name, std::wstring_view value)>;
void SetEnvironmentBroadcastForTesting(EnvironmentBroadcast broadcast);

}  // namespace platform
