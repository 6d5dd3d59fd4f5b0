#include <platform/environment_text.h>

namespace platform {

bool IsEnvironmentVariableName(std::wstring_view name) {
  if (name.empty() || (name[0] >= L'0' && name[0] <= L'9')) return false;
  for (const wchar_t c : name) {
    const bool ok = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                    (c >= L'0' && c <= L'9') || c == L'_';
    if (!ok) return false;
  }
  return true;
}

bool IsStorableEnvironmentValue(std::wstring_view value) {
  return value.find_first_of(std::wstring_view(L"\n\r\0", 3)) == std::wstring_view::npos;
}

}  // namespace platform
