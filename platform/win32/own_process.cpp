#include "own_process.h"

#include <memory>
#include <string>

#include "handle.h"

namespace platform::win32 {
namespace {

// The user SID of a process token, as bytes; empty when it cannot be read
// (a process of another user, or elevated above us).
std::unique_ptr<unsigned char[]> TokenUserOf(HANDLE process) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return nullptr;
  Handle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return nullptr;
  auto user = std::make_unique<unsigned char[]>(size);
  if (!::GetTokenInformation(token.get(), TokenUser, user.get(), size, &size)) return nullptr;
  return user;
}

PSID SidOf(const std::unique_ptr<unsigned char[]>& user) {
  return reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid;
}

std::wstring WithoutLongPrefix(std::wstring text) {
  if (text.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + text.substr(8);
  if (text.rfind(L"\\\\?\\", 0) == 0) return text.substr(4);
  return text;
}

}  // namespace

bool IsOwnProcess(HANDLE process) {
  DWORD ourSession = 0;
  DWORD theirSession = 0;
  if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &ourSession) ||
      !::ProcessIdToSessionId(::GetProcessId(process), &theirSession) ||
      ourSession != theirSession) {
    return false;
  }
  static const std::unique_ptr<unsigned char[]> self = TokenUserOf(::GetCurrentProcess());
  const auto theirs = TokenUserOf(process);
  return self != nullptr && theirs != nullptr && ::EqualSid(SidOf(self), SidOf(theirs));
}

bool IsOwnProcessId(DWORD id) {
  Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  return process.valid() && IsOwnProcess(process.get());
}

std::optional<std::filesystem::path> ImagePath(HANDLE process) {
  std::wstring buffer(32768, L'\0');
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!::QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return std::nullopt;
  buffer.resize(size);
  // Replaced or removed since it started: the name it started from counts.
  return FinalPath(buffer).value_or(std::filesystem::path(buffer));
}

std::optional<std::filesystem::path> FinalPath(const std::filesystem::path& path) {
  Handle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return std::nullopt;
  std::wstring buffer(32768, L'\0');
  const DWORD length = ::GetFinalPathNameByHandleW(file.get(), buffer.data(),
                                                   static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  buffer.resize(length);
  return std::filesystem::path(WithoutLongPrefix(buffer));
}

}  // namespace platform::win32
