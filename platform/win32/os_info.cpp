#include <platform/os_info.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace platform {
namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

// GetVersionEx reports 6.2 to every program without a manifest naming newer
// systems; ntdll tells the truth.
bool TrueVersion(OSVERSIONINFOW* info) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  const auto function = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (function == nullptr) return false;
  info->dwOSVersionInfoSize = sizeof *info;
  return function(info) == 0;
}

}  // namespace

std::string OsName() {
  OSVERSIONINFOW info{};
  if (!TrueVersion(&info)) return OsNameForWindowsVersion(0, 0);
  return OsNameForWindowsVersion(info.dwMajorVersion, info.dwMinorVersion);
}

std::wstring ExecutableSuffix() { return L".exe"; }

std::uint64_t TotalMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

void DebugOutput(std::string_view text) {
  // Developer traces only show when asked for: in a debugger, and on stderr
  // for those who run the program from a console.
  if (GetEnvironmentVariableW(L"TIDEWELL_DEBUG", nullptr, 0) == 0) return;
  const std::string line(text);
  OutputDebugStringA(line.c_str());
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace platform
