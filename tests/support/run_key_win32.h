#pragma once
// What stands under a name in the user's Run key, as Windows starts it at
// login; "(none)" when nothing does.
#include <windows.h>

#include <string>

inline std::wstring RunKeyValue(const wchar_t* name) {
  wchar_t data[4096] = {};
  DWORD size = sizeof data;
  if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                     name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return L"(none)";
  }
  return data;
}
