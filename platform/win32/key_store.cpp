// The key store on Windows is the registry itself. Handles are the
// registry's own; a predefined root is the Windows constant, which the API
// wants sign-extended on 64-bit systems.
#include <platform/key_store.h>

#include <windows.h>

#include <string>
#include <vector>

namespace platform {
namespace {

HKEY ToHkey(KeyHandle key) {
  if (IsPredefinedRoot(key)) {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(key))));
  }
  return reinterpret_cast<HKEY>(key);
}

// Windows hands back the sign-extended form of a root; ours is the plain one.
KeyHandle FromHkey(HKEY key) {
  const auto raw = reinterpret_cast<ULONG_PTR>(key);
  const KeyHandle low = raw & 0xFFFFFFFFu;
  if ((raw >> 32) == 0xFFFFFFFFu && IsPredefinedRoot(low)) return low;
  return static_cast<KeyHandle>(raw);
}

Status FromLstatus(LSTATUS status) { return static_cast<Status>(status); }

}  // namespace


Status CreateKey(KeyHandle root, std::wstring_view path, std::uint32_t access, KeyHandle* key,
                 std::uint32_t* disposition) {
  if (key == nullptr) return kErrorInvalidParameter;
  const std::wstring subKey(path);
  HKEY opened = nullptr;
  DWORD how = 0;
  const LSTATUS status = RegCreateKeyExW(ToHkey(root), subKey.c_str(), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, access, nullptr, &opened, &how);
  if (status != ERROR_SUCCESS) return FromLstatus(status);
  *key = FromHkey(opened);
  if (disposition != nullptr) *disposition = how;
  return kSuccess;
}

Status OpenKey(KeyHandle root, std::wstring_view path, std::uint32_t access, KeyHandle* key) {
  if (key == nullptr) return kErrorInvalidParameter;
  const std::wstring subKey(path);
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(ToHkey(root), subKey.c_str(), 0, access, &opened);
  if (status != ERROR_SUCCESS) return FromLstatus(status);
  *key = FromHkey(opened);
  return kSuccess;
}

Status QueryValue(KeyHandle key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  const std::wstring valueName(name);
  DWORD valueType = 0;
  DWORD bytes = size != nullptr ? *size : 0;
  const LSTATUS status = RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &valueType,
                                          data, size != nullptr ? &bytes : nullptr);
  if (size != nullptr && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) *size = bytes;
  if (type != nullptr && status == ERROR_SUCCESS) *type = valueType;
  return FromLstatus(status);
}

Status SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size) {
  if (data == nullptr && size != 0) return kErrorInvalidParameter;
  // An empty value still needs a readable pointer on some systems.
  static const BYTE kNothing = 0;
  const BYTE* bytes = data != nullptr ? data : &kNothing;
  // For a string whose size leaves out its zero, RegSetValueExW looks one
  // character past the end and, finding a zero there, stores it too. The
  // value is stored as given from a copy whose next character is not zero
  // (which also keeps the system from reading past the caller's buffer).
  std::vector<BYTE> guarded;
  if (size != 0 && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
    guarded.assign(data, data + size);
    guarded.insert(guarded.end(), {0xFF, 0xFF});
    bytes = guarded.data();
  }
  const std::wstring valueName(name);
  return FromLstatus(RegSetValueExW(ToHkey(key), valueName.c_str(), 0, type, bytes, size));
}

Status DeleteKeyTree(KeyHandle root, std::wstring_view path) {
  const std::wstring subKey(path);
  if (subKey.find_first_not_of(L'\\') == std::wstring::npos) return kErrorAccessDenied;
  // With a subkey named, the key itself goes along with what it holds.
  const LSTATUS status = ::RegDeleteTreeW(ToHkey(root), subKey.c_str());
  return status == ERROR_FILE_NOT_FOUND ? kSuccess : FromLstatus(status);
}

Status CloseKey(KeyHandle key) {
  if (IsPredefinedRoot(key)) return kSuccess;
  return FromLstatus(RegCloseKey(ToHkey(key)));
}

}  // namespace platform
