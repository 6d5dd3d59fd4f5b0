#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The short OS name sent to the service.
std::string OsName();
// The name the Windows version table gives for major.minor.
std::string OsNameForWindowsVersion(unsigned major, unsigned minor);
// Program names carry this suffix (".exe" on Windows, nothing here).
std::wstring ExecutableSuffix();
// The machine's physical memory in bytes; 0 when unknown.
std::uint64_t TotalMemoryBytes();
// Developer trace output, not shown to users.
void DebugOutput(std::string_view text);

}  // namespace platform
