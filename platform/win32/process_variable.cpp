#include <platform/process_variable.h>

#include <windows.h>

#include <platform/utf.h>

namespace platform {

std::string ProcessVariable(const char* name) {
  const std::wstring wideName = Utf8ToWide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return "";
    if (length < value.size()) {
      value.resize(length);
      return WideToUtf8(value);
    }
    value.resize(length);  // the size asked for, its terminating zero included
  }
}

}  // namespace platform
