#include <platform/os_encoding.h>

#include <platform/utf.h>

namespace platform {

std::string WideToOsNarrow(std::wstring_view text) { return WideToUtf8(text); }

std::wstring OsNarrowToWide(std::string_view text) { return Utf8ToWide(text); }

std::filesystem::path OsPath(std::wstring_view path) {
  return std::filesystem::path(WideToUtf8(path));
}

std::wstring WidePath(const std::filesystem::path& path) { return Utf8ToWide(path.native()); }

wchar_t PathSeparator() { return L'/'; }

}  // namespace platform
