// ShellExecuteW hands any scheme to whatever program claims it and runs
// what a relative name finds: only web addresses and absolute local paths
// are passed on.
#include <platform/shell_open.h>

#include <windows.h>
#include <shellapi.h>

#include <cwctype>
#include <string_view>

#include <platform/os_encoding.h>
#include <platform/os_info.h>

namespace platform {
namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(text[i]) != prefix[i]) return false;
  }
  return true;
}

bool HasControlCharacters(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

bool IsWebAddress(std::wstring_view target) {
  for (const std::wstring_view scheme : {L"http://", L"https://"}) {
    if (!StartsWithNoCase(target, scheme)) continue;
    const std::wstring_view rest = target.substr(scheme.size());
    return !rest.empty() && rest.front() != L'/';  // a host comes first
  }
  return false;
}

// "C:\..." or "C:/..."; a share ("\\server\...") would reach out to
// another machine and is not taken.
bool IsAbsoluteLocalPath(std::wstring_view target) {
  return target.size() >= 3 && std::iswalpha(target[0]) && target[1] == L':' &&
         (target[2] == L'\\' || target[2] == L'/');
}

bool Open(const std::wstring& target) {
  // Hidden: nothing to show for the call itself, the opened program shows
  // its own window.
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

bool ShellOpen(const std::string& target) {
  const std::wstring wide = OsNarrowToWide(target);
  if (wide.empty() || HasControlCharacters(wide) ||
      !(IsWebAddress(wide) || IsAbsoluteLocalPath(wide))) {
    DebugOutput("shell open refused: not a web address or an absolute path\n");
    return false;
  }
  return Open(wide);
}

bool ShellOpenInFileManager(const std::string& path) { return ShellOpen(path); }

}  // namespace platform
