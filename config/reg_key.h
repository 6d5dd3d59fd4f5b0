#pragma once
// Access to the per-user key store. RegKey throws winreg::RegException on
// every failure; callers catch it at once around their whole block, so a
// missing key or value simply leaves the caller's default.
#include <cstdint>
#include <stdexcept>
#include <string>

#include <platform/key_store.h>

namespace winreg {

class RegException : public std::runtime_error {
 public:
  RegException(const char* message, platform::Status errorCode)
      : std::runtime_error(message), m_errorCode(errorCode) {}
  platform::Status ErrorCode() const noexcept { return m_errorCode; }

 private:
  platform::Status m_errorCode;
};

class RegKey {
 public:
  RegKey() noexcept = default;
  // Opens the key, creating it and its missing parents, for reading and writing.
  RegKey(platform::KeyHandle root, const std::wstring& subKey);
  ~RegKey();

  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  void Create(platform::KeyHandle root, const std::wstring& subKey,
              std::uint32_t access = platform::kKeyRead | platform::kKeyWrite,
              std::uint32_t* disposition = nullptr);
  // Opens an existing key only: reading creates nothing.
  void Open(platform::KeyHandle root, const std::wstring& subKey,
            std::uint32_t access = platform::kKeyRead);
  void Close() noexcept;

  bool IsValid() const noexcept { return m_key != 0; }
  platform::KeyHandle Get() const noexcept { return m_key; }

  std::wstring GetStringValue(const std::wstring& valueName) const;
  void SetDwordValue(const std::wstring& valueName, std::uint32_t data);
  void SetStringValue(const std::wstring& valueName, const std::wstring& data);

 private:
  platform::KeyHandle m_key = 0;
};

}  // namespace winreg

using winreg::RegKey;

// Writes a string value to a key that must already exist; every failure is
// ignored.
void WriteStringToExistingKey(platform::KeyHandle root, const std::wstring& subKey,
                              const std::wstring& valueName, const std::wstring& data);

// Sets a per-user environment variable for programs started later and tells
// running programs. Failures go to the standard error stream with their code.
bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value);
