// The known folders on Windows. Each call first honours the variable the
// system itself sets for the folder (APPDATA, LOCALAPPDATA, USERPROFILE;
// TMP and TEMP through GetTempPathW), when it holds an absolute path: that
// is how tests, and programs started by them, are pointed at temporary
// folders. Otherwise the shell is asked.
#include <platform/known_folders.h>

// windows.h first: the shell headers build on it.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace platform {
namespace {

std::wstring Variable(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size asked for includes the zero
  }
}

// "C:\..." or a UNC path "\\server\...": a relative or drive-relative value
// would depend on the current folder.
bool IsAbsolute(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) return true;
  return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

std::wstring Folder(const wchar_t* variable, REFKNOWNFOLDERID id) {
  if (std::wstring value = Variable(variable); IsAbsolute(value)) {
    return WithoutTrailingSeparator(std::move(value));
  }
  PWSTR path = nullptr;
  std::wstring out;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) out = path;
  CoTaskMemFree(path);  // also when the call failed
  return out;
}

}  // namespace

std::wstring RoamingAppDataFolder() { return Folder(L"APPDATA", FOLDERID_RoamingAppData); }

std::wstring LocalAppDataFolder() { return Folder(L"LOCALAPPDATA", FOLDERID_LocalAppData); }

std::wstring HomeFolder() { return Folder(L"USERPROFILE", FOLDERID_Profile); }

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH + 1) return {};
  return WithoutTrailingSeparator(std::wstring(buffer, length));
}

// The user's own temporary folder below local app data: no other user may
// see or plant what is kept there.
std::wstring RuntimeFolder() {
  const std::wstring local = LocalAppDataFolder();
  return local.empty() ? TempFolder() : local + L"\\Temp";
}

std::wstring DefaultProgramParent() {
  // "X:" as the system sets it; otherwise the drive Windows itself is on.
  std::wstring drive = Variable(L"SystemDrive");
  const auto isDrive = [](const std::wstring& text) {
    return text.size() >= 2 && text[1] == L':' &&
           ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
  };
  if (drive.size() != 2 || !isDrive(drive)) {
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    drive = length >= 2 && length <= MAX_PATH ? std::wstring(windows, 2) : std::wstring();
    if (!isDrive(drive)) drive = L"C:";
  }
  return drive + L"\\";
}

}  // namespace platform
