#include <platform/os_info.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {

std::string OsName() { return "linux"; }

std::uint64_t TotalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

bool IsNative64BitOs() {
  utsname info{};
  if (::uname(&info) != 0) return sizeof(void*) == 8;
  const std::string machine = info.machine;
  return machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" ||
         machine == "riscv64" || machine == "s390x";
}

std::wstring ExecutableSuffix() { return L""; }

void DebugOutput(std::string_view text) {
  // Developer traces only show when asked for, as a debugger would see them.
  if (std::getenv("TIDEWELL_DEBUG") == nullptr) return;
  (void)!::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace platform
