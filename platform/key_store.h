#pragma once
// Per-user hierarchical key/value store (the registry on Windows). Operations
// mirror the registry's: status codes are Windows error numbers, values are
// typed byte blocks, and predefined root keys are never really opened.
#include <cstdint>
#include <string_view>

#include <platform/status.h>

namespace platform {

using KeyHandle = std::uintptr_t;

// The predefined roots, with the Windows handle values.
inline constexpr KeyHandle kClassesRoot = 0x80000000u;
inline constexpr KeyHandle kCurrentUser = 0x80000001u;
inline constexpr KeyHandle kLocalMachine = 0x80000002u;
inline constexpr KeyHandle kUsers = 0x80000003u;
inline constexpr KeyHandle kPerformanceData = 0x80000004u;
inline constexpr KeyHandle kCurrentConfig = 0x80000005u;
inline constexpr KeyHandle kDynData = 0x80000006u;
inline constexpr KeyHandle kCurrentUserLocalSettings = 0x80000007u;
inline constexpr KeyHandle kPerformanceText = 0x80000050u;
inline constexpr KeyHandle kPerformanceNlsText = 0x80000060u;

bool IsPredefinedRoot(KeyHandle key);

// Access rights (Windows values).
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;

// Value types (Windows values).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Dispositions reported by CreateKey.
inline constexpr std::uint32_t kCreatedNewKey = 1;
inline constexpr std::uint32_t kOpenedExistingKey = 2;

// Opens the key below root, creating it and its missing parents.
Status CreateKey(KeyHandle root, std::wstring_view path, std::uint32_t access, KeyHandle* key,
                 std::uint32_t* disposition);
// Opens an existing key; kErrorFileNotFound when it does not exist.
Status OpenKey(KeyHandle root, std::wstring_view path, std::uint32_t access, KeyHandle* key);
// With data null: *size receives the value's size. Otherwise *size is the
// buffer's size on entry and the value's size on return; a buffer too small
// gives kErrorMoreData. type may be null.
Status QueryValue(KeyHandle key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size);
Status SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size);
Status CloseKey(KeyHandle key);
// Deletes the key below root with its subkeys and values; kSuccess also when
// it was not there. A root itself is never deleted (kErrorAccessDenied).
Status DeleteKeyTree(KeyHandle root, std::wstring_view path);

}  // namespace platform
