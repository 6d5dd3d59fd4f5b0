#include <install/shell_helpers.h>

#include <cstdarg>

#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <platform/shell_open.h>

bool ShellOpen(platform::WindowHandle /*owner*/, const std::wstring& target) {
  return platform::ShellOpen(platform::WideToOsNarrow(target));
}

bool ShellOpenInExplorer(platform::WindowHandle /*owner*/, const std::wstring& parameters) {
  return platform::ShellOpenInFileManager(platform::WideToOsNarrow(parameters));
}

void DebugPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatStringV(format, args);
  va_end(args);
  if (!text.empty()) platform::DebugOutput(text);
}
