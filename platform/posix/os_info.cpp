#include <platform/os_info.h>

#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string OsName() { return "linux"; }

std::uint64_t TotalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::wstring ExecutableSuffix() { return L""; }

void DebugOutput(std::string_view text) {
  // Developer traces only show when asked for, as a debugger would see them.
  if (std::getenv("TIDEWELL_DEBUG") == nullptr) return;
  (void)!::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace platform
