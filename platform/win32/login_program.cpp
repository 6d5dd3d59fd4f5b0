// A program started at login on Windows: a value named by the id under the
// user's Run key. The Run key holds a command line and no environment, and a
// console program started from it opens a console window; so the value
// names our launcher (login_launcher.h), which starts the program hidden
// with the environment entries and ends:
//   "C:\…\tidewell-runner.exe" --env NAME=VALUE -- "C:\…\ollama.exe" serve
// Each word is quoted as the launcher splits its command line again.
#include <platform/login_program.h>

#include <windows.h>

#include <optional>

#include <platform/command_line.h>
#include <platform/os_encoding.h>
#include <platform/win32/login_launcher.h>

namespace platform {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The program's texts are in the narrow encoding of the system's interfaces.
std::wstring Wide(const std::string& text) { return OsNarrowToWide(text); }

bool Converts(const std::string& text) { return text.empty() || !Wide(text).empty(); }

bool IsPlainText(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool IsValidId(const std::string& id) {
  if (id.empty()) return false;
  for (const char c : id) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

// The value written for the program; nullopt when it cannot be written
// safely or the launcher would refuse it. Whoever starts the Run values at
// login may expand %NAME% in them, so no text may hold a '%'.
std::optional<std::wstring> CommandLine(const LoginProgram& program) {
  if (!IsValidId(program.id) || !IsPlainText(program.description)) return std::nullopt;
  const auto widen = [](const std::vector<std::string>& texts, std::vector<std::wstring>* out) {
    for (const std::string& text : texts) {
      if (!Converts(text) || text.find('%') != std::string::npos) return false;
      out->push_back(Wide(text));
    }
    return true;
  };
  win32::LaunchRequest request;
  if (!widen(program.environment, &request.environment) || !widen(program.argv, &request.argv)) {
    return std::nullopt;
  }
  std::vector<std::wstring> arguments = win32::LauncherArguments(request);
  if (!win32::ParseLauncherArguments(arguments)) return std::nullopt;
  const std::wstring launcher = win32::LoginLauncherPath();
  if (launcher.empty() || launcher.find(L'%') != std::wstring::npos) return std::nullopt;
  arguments.insert(arguments.begin(), launcher);
  return BuildCommandLine(arguments);
}

// The value is of use only while the launcher it names is there.
bool LauncherPresent() { return win32::IsFileEntry(win32::LoginLauncherPath()); }

}  // namespace

bool RegisterLoginProgram(const LoginProgram& program) {
  const std::optional<std::wstring> line = CommandLine(program);
  if (!line || !LauncherPresent()) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring name = Wide(program.id);
  const LSTATUS status =
      RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(line->c_str()),
                     static_cast<DWORD>((line->size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// The Run key belongs to the system: only our value goes.
void UnregisterLoginProgram(const std::string& id) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, Wide(id).c_str());
  RegCloseKey(key);
}

bool IsLoginProgramRegistered(const LoginProgram& program) {
  const std::optional<std::wstring> expected = CommandLine(program);
  if (!expected || !LauncherPresent()) return false;
  std::wstring stored(expected->size() + 2, L'\0');
  DWORD type = 0;
  auto bytes = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
  const LSTATUS status =
      RegGetValueW(HKEY_CURRENT_USER, kRunKey, Wide(program.id).c_str(),
                   RRF_RT_REG_SZ, &type, stored.data(), &bytes);
  if (status != ERROR_SUCCESS) return false;
  stored.resize(bytes / sizeof(wchar_t));
  if (!stored.empty() && stored.back() == L'\0') stored.pop_back();
  return stored == *expected;
}

bool IsLoginIdTaken(const std::string& id) {
  return RegGetValueW(HKEY_CURRENT_USER, kRunKey, Wide(id).c_str(), RRF_RT_ANY, nullptr, nullptr,
                      nullptr) == ERROR_SUCCESS;
}

}  // namespace platform
