#include <platform/program_arguments.h>

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace platform {

std::vector<std::wstring> ProgramArguments(int, char**) {
  // Split by the same rules the C runtime (and our own quoting) uses.
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  if (split == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(split[i]);
  LocalFree(split);
  return arguments;
}

}  // namespace platform
