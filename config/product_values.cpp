#include <config/product_values.h>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <platform/key_store.h>

std::optional<std::wstring> ReadProductValue(const wchar_t* name) {
  try {
    RegKey key;
    key.Open(platform::kCurrentUser, GetAppConstants().productKeyPath);
    return key.GetStringValue(name);
  } catch (const winreg::RegException&) {
    return std::nullopt;
  }
}

bool RemoveProductKey() {
  return platform::DeleteKeyTree(platform::kCurrentUser, GetAppConstants().productKeyPath) ==
         platform::kSuccess;
}

bool WriteProductValue(const wchar_t* name, const std::wstring& data) {
  try {
    RegKey key(platform::kCurrentUser, GetAppConstants().productKeyPath);
    key.SetStringValue(name, data);
    return true;
  } catch (const winreg::RegException&) {
    return false;
  }
}
