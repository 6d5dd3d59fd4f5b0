#pragma once
// What the user environment stores, the same on every system: a name of
// letters, digits and underscores (not starting with a digit), and a value
// without line breaks or zeros, which would end it early or smuggle in
// another when the session builds its block of NAME=value lines.
#include <string_view>

namespace platform {

bool IsEnvironmentVariableName(std::wstring_view name);
bool IsStorableEnvironmentValue(std::wstring_view value);

}  // namespace platform
