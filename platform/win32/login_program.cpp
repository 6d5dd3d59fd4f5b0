// A program started at login on Windows: a value named by the id under the
// user's Run key, holding the command line. The Run key has no place for an
// environment, so with environment entries the line goes through cmd.exe:
//   "…\cmd.exe" /d /v:off /s /c "set "NAME=VALUE"&&"program" "arg""
// Inside quotes cmd takes every character as it is except '%', and a '"'
// would end the quotes; values holding either are refused. A Windows path
// holds neither '"' nor, in practice, '%'.
#include <platform/login_program.h>

#include <windows.h>

#include <platform/os_encoding.h>

namespace platform {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool IsSafeText(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '"' || c == '%') return false;
  }
  return true;
}

bool IsAbsolute(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return true;
  return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

// The program's texts are in the narrow encoding of the system's interfaces.
std::wstring Wide(const std::string& text) { return OsNarrowToWide(text); }

bool Converts(const std::string& text) { return text.empty() || !Wide(text).empty(); }

bool IsValid(const LoginProgram& program) {
  if (program.id.empty() || program.argv.empty() || !IsAbsolute(Wide(program.argv[0]))) {
    return false;
  }
  for (const char c : program.id) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  if (!IsSafeText(program.description)) return false;
  for (const auto& list : {program.argv, program.environment}) {
    for (const std::string& value : list) {
      if (!IsSafeText(value) || !Converts(value)) return false;
    }
  }
  for (const std::string& entry : program.environment) {
    const auto equals = entry.find('=');
    if (equals == 0 || equals == std::string::npos) return false;
  }
  return true;
}

// One argument in quotes as the C runtime splits a command line: with no '"'
// inside, only backslashes before the closing quote need doubling.
std::wstring Quoted(const std::wstring& word) {
  std::wstring out = L"\"" + word;
  for (auto it = word.rbegin(); it != word.rend() && *it == L'\\'; ++it) out += L'\\';
  return out + L"\"";
}

std::wstring CommandInterpreter() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return L"C:\\Windows\\System32\\cmd.exe";
  return std::wstring(folder, length) + L"\\cmd.exe";
}

std::wstring CommandLine(const LoginProgram& program) {
  std::wstring line;
  for (const std::string& word : program.argv) {
    line += (line.empty() ? L"" : L" ") + Quoted(Wide(word));
  }
  if (program.environment.empty()) return line;
  std::wstring sets;
  for (const std::string& entry : program.environment) {
    sets += L"set \"" + Wide(entry) + L"\"&&";
  }
  return Quoted(CommandInterpreter()) + L" /d /v:off /s /c \"" + sets + line + L"\"";
}

}  // namespace

bool RegisterLoginProgram(const LoginProgram& program) {
  if (!IsValid(program)) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring name = Wide(program.id);
  const std::wstring line = CommandLine(program);
  const LSTATUS status =
      RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()),
                     static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)));
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
  if (!IsValid(program)) return false;
  const std::wstring expected = CommandLine(program);
  std::wstring stored(expected.size() + 2, L'\0');
  DWORD type = 0;
  auto bytes = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
  const LSTATUS status =
      RegGetValueW(HKEY_CURRENT_USER, kRunKey, Wide(program.id).c_str(),
                   RRF_RT_REG_SZ, &type, stored.data(), &bytes);
  if (status != ERROR_SUCCESS) return false;
  stored.resize(bytes / sizeof(wchar_t));
  if (!stored.empty() && stored.back() == L'\0') stored.pop_back();
  return stored == expected;
}

bool IsLoginIdTaken(const std::string& id) {
  return RegGetValueW(HKEY_CURRENT_USER, kRunKey, Wide(id).c_str(), RRF_RT_ANY, nullptr, nullptr,
                      nullptr) == ERROR_SUCCESS;
}

}  // namespace platform
