#include <config/reg_key.h>

#include <iostream>
#include <utility>
#include <vector>

#include <platform/os_encoding.h>
#include <platform/user_environment.h>
#include <platform/utf.h>

namespace winreg {

RegKey::RegKey(platform::KeyHandle root, const std::wstring& subKey) { Create(root, subKey); }

RegKey::~RegKey() { Close(); }

RegKey::RegKey(RegKey&& other) noexcept : m_key(std::exchange(other.m_key, 0)) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    m_key = std::exchange(other.m_key, 0);
  }
  return *this;
}

void RegKey::Create(platform::KeyHandle root, const std::wstring& subKey, std::uint32_t access,
                    std::uint32_t* disposition) {
  platform::KeyHandle key = 0;
  const platform::Status status = platform::CreateKey(root, subKey, access, &key, disposition);
  if (status != platform::kSuccess) throw RegException("RegCreateKeyEx failed.", status);
  Close();
  m_key = key;
}

void RegKey::Open(platform::KeyHandle root, const std::wstring& subKey, std::uint32_t access) {
  platform::KeyHandle key = 0;
  const platform::Status status = platform::OpenKey(root, subKey, access, &key);
  if (status != platform::kSuccess) throw RegException("RegOpenKeyEx failed.", status);
  Close();
  m_key = key;
}

void RegKey::Close() noexcept {
  if (m_key != 0 && !platform::IsPredefinedRoot(m_key)) platform::CloseKey(m_key);
  m_key = 0;
}

std::wstring RegKey::GetStringValue(const std::wstring& valueName) const {
  std::uint32_t size = 0;
  platform::Status status = platform::QueryValue(m_key, valueName, nullptr, nullptr, &size);
  if (status != platform::kSuccess) {
    throw RegException("Cannot get size of string value: RegGetValue failed.", status);
  }
  std::vector<std::uint8_t> buffer(size / 2 * 2 + 1);  // never empty: a valid pointer
  std::uint32_t returned = size / 2 * 2;
  status = platform::QueryValue(m_key, valueName, nullptr, buffer.data(), &returned);
  if (status == platform::kSuccess && returned / 2 == 0) {
    status = platform::kErrorInvalidData;  // not even a terminating zero
  }
  if (status != platform::kSuccess) {
    throw RegException("Cannot get string value: RegGetValue failed.", status);
  }
  // The last unit is taken for the terminating zero, whether or not it is one.
  return platform::Utf16ToWide(platform::Utf16LeUnits(buffer.data(), returned / 2 - 1));
}

void RegKey::SetDwordValue(const std::wstring& valueName, std::uint32_t data) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(data), static_cast<std::uint8_t>(data >> 8),
      static_cast<std::uint8_t>(data >> 16), static_cast<std::uint8_t>(data >> 24)};
  const platform::Status status =
      platform::SetValue(m_key, valueName, platform::kRegDword, bytes, sizeof bytes);
  if (status != platform::kSuccess) {
    throw RegException("Cannot write DWORD value: RegSetValueEx failed.", status);
  }
}

void RegKey::SetStringValue(const std::wstring& valueName, const std::wstring& data) {
  const std::vector<std::uint8_t> bytes = platform::ToUtf16LeBytes(data);
  const platform::Status status = platform::SetValue(
      m_key, valueName, platform::kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  if (status != platform::kSuccess) {
    throw RegException("Cannot write string value: RegSetValueEx failed.", status);
  }
}

}  // namespace winreg

void WriteStringToExistingKey(platform::KeyHandle root, const std::wstring& subKey,
                              const std::wstring& valueName, const std::wstring& data) {
  platform::KeyHandle key = 0;
  if (platform::OpenKey(root, subKey, platform::kKeyWrite, &key) != platform::kSuccess) return;
  const std::vector<std::uint8_t> bytes = platform::ToUtf16LeBytes(data);
  platform::SetValue(key, valueName, platform::kRegSz, bytes.data(),
                     static_cast<std::uint32_t>(bytes.size()));
  platform::CloseKey(key);
}

bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value) {
  if (const auto error = platform::WriteUserEnvironmentValue(name, value)) {
    // Narrow output in the OS encoding: the wide stream cannot print Chinese
    // in the C locale and would go silent for good.
    const char* text = error->step == platform::EnvWriteStep::Open ? "打开注册表项失败，错误码："
                                                                   : "设置环境变量失败，错误码：";
    std::cerr << text << error->code << std::endl;
    return false;
  }
  platform::BroadcastEnvironmentChange(name, value);
  return true;
}
