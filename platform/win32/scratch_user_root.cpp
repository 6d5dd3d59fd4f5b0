#include <platform/scratch_user_root.h>

#include <windows.h>

#include <string>

namespace platform {

void FollowScratchUserRoot() {
  wchar_t path[512];
  const DWORD length = GetEnvironmentVariableW(L"TIDEWELL_SCRATCH_USER_KEY", path, 512);
  if (length == 0 || length >= 512) return;
  // Only a test's own scratch key: never some other part of the hive.
  const std::wstring key(path, length);
  const std::wstring parent = L"Software\\Tidewell-tests\\";
  if (key.size() <= parent.size() || key.compare(0, parent.size(), parent) != 0 ||
      key.find(L"..") != std::wstring::npos) {
    return;
  }
  HKEY scratch = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_ALL_ACCESS, &scratch) !=
      ERROR_SUCCESS) {
    return;
  }
  RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
  RegCloseKey(scratch);
}

}  // namespace platform
