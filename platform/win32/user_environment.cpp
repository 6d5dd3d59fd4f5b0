// The user environment on Windows: values under HKCU\Environment, which the
// shell reads when it starts a program. They are stored as REG_EXPAND_SZ, as
// the system's own dialog stores paths, and running programs (the shell
// first) are told through a WM_SETTINGCHANGE "Environment" broadcast.
#include <platform/user_environment.h>

#include <windows.h>

#include <string>
#include <vector>

#include <platform/environment_text.h>
#include <platform/thread_annotations.h>

namespace platform {
namespace {

constexpr wchar_t kEnvironmentKey[] = L"Environment";
// A hung window must not hold us: each one gets this long, then is skipped.
constexpr UINT kBroadcastTimeoutMs = 5000;

struct BroadcastHook {
  CMutex mutex;
  EnvironmentBroadcast replacement TW_GUARDED_BY(mutex);
};

BroadcastHook& Hook() {
  static BroadcastHook hook;
  return hook;
}

void Announce(std::wstring_view name, std::wstring_view value) {
  EnvironmentBroadcast broadcast;
  {
    BroadcastHook& hook = Hook();
    CMutexLock lock(hook.mutex);
    broadcast = hook.replacement;
  }
  if (broadcast) {
    broadcast(name, value);
    return;
  }
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                      reinterpret_cast<LPARAM>(kEnvironmentKey), SMTO_ABORTIFHUNG,
                      kBroadcastTimeoutMs, &result);
}



}  // namespace

std::optional<EnvWriteError> WriteUserEnvironmentValue(std::wstring_view name,
                                                       std::wstring_view value) {
  if (!IsEnvironmentVariableName(name) || !IsStorableEnvironmentValue(value) || value.size() >= 0x7FFFFFFF / 2) {
    return EnvWriteError{EnvWriteStep::Set, kErrorInvalidParameter};
  }
  HKEY key = nullptr;
  const LSTATUS opened = RegCreateKeyExW(HKEY_CURRENT_USER, kEnvironmentKey, 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                                         nullptr);
  if (opened != ERROR_SUCCESS) {
    return EnvWriteError{EnvWriteStep::Open, static_cast<Status>(opened)};
  }
  const std::wstring valueName(name);
  const std::wstring text(value);
  // The size counts the terminating zero, as readers of the key expect.
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const LSTATUS set = RegSetValueExW(key, valueName.c_str(), 0, REG_EXPAND_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  RegCloseKey(key);
  if (set != ERROR_SUCCESS) return EnvWriteError{EnvWriteStep::Set, static_cast<Status>(set)};
  return std::nullopt;
}

std::optional<std::wstring> ReadUserEnvironmentValue(std::wstring_view name) {
  if (!IsEnvironmentVariableName(name)) return std::nullopt;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kEnvironmentKey, 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::wstring valueName(name);
  DWORD type = 0;
  DWORD bytes = 0;
  LSTATUS status = RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &bytes);
  std::vector<wchar_t> buffer;
  // Another writer may grow the value between the two calls.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD room = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &room);
    if (status == ERROR_SUCCESS) {
      bytes = room;
      break;
    }
    if (status == ERROR_MORE_DATA) bytes = room;
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  // Up to the first zero: a value stored without one still ends at its size.
  std::wstring out(buffer.data(), bytes / sizeof(wchar_t));
  if (const auto zero = out.find(L'\0'); zero != std::wstring::npos) out.resize(zero);
  return out;
}

bool RemoveUserEnvironmentValue(std::wstring_view name) {
  if (!IsEnvironmentVariableName(name)) return false;
  HKEY key = nullptr;
  const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, kEnvironmentKey, 0, KEY_SET_VALUE, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const std::wstring valueName(name);
  const LSTATUS deleted = RegDeleteValueW(key, valueName.c_str());
  RegCloseKey(key);
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

void BroadcastEnvironmentChange(std::wstring_view name, std::wstring_view value) {
  Announce(name, value);
}

void BroadcastEnvironmentRemoval(std::wstring_view name) { Announce(name, L""); }

void SetEnvironmentBroadcastForTesting(EnvironmentBroadcast broadcast) {
  BroadcastHook& hook = Hook();
  CMutexLock lock(hook.mutex);
  hook.replacement = std::move(broadcast);
}

std::optional<std::wstring> UsersOwnEnvironmentValue(std::wstring_view) { return std::nullopt; }

bool UserEnvironmentStoreIsOurOwn() { return false; }

}  // namespace platform
