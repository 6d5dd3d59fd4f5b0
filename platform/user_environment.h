#pragma once
// Per-user environment variables that programs started later will see
// (HKCU\Environment on Windows, systemd's environment.d here).
#include <functional>
#include <optional>
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

// Tells running programs that the user environment changed. Best effort.
void BroadcastEnvironmentChange(std::wstring_view name, std::wstring_view value);

// Tests replace the broadcast so that they never touch the real session.
using EnvironmentBroadcast = std::function<void(std::wstring_view name, std::wstring_view value)>;
void SetEnvironmentBroadcastForTesting(EnvironmentBroadcast broadcast);

}  // namespace platform
