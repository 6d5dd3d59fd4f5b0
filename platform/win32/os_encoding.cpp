// The narrow text of Windows' interfaces here is code page 936 (GBK), the
// ANSI code page of the systems this program is made for, whatever the
// machine's own setting: the runner's console output is read in it.
#include <platform/os_encoding.h>

#include <windows.h>

#include <climits>

namespace platform {
namespace {

constexpr UINT kCodePage = 936;

template <typename Text>
Text UpToZero(Text text) {
  const auto zero = text.find(typename Text::value_type{});
  return zero == Text::npos ? text : text.substr(0, zero);
}

}  // namespace

std::string WideToOsNarrow(std::wstring_view text) {
  text = UpToZero(text);
  if (text.empty() || text.size() > INT_MAX / 4) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(kCodePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(kCodePage, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

std::wstring OsNarrowToWide(std::string_view text) {
  text = UpToZero(text);
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(kCodePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(kCodePage, 0, text.data(), length, out.data(), needed);
  return out;
}

std::filesystem::path OsPath(std::wstring_view path) {
  return std::filesystem::path(std::wstring(UpToZero(path)));
}

std::wstring WidePath(const std::filesystem::path& path) { return path.native(); }

wchar_t PathSeparator() { return L'\\'; }

}  // namespace platform
