#include "file_util.h"

#include <bcrypt.h>

#include <cerrno>

#include "win32_files.h"

namespace platform::win32 {
namespace {

std::vector<unsigned char> TokenSid(TOKEN_INFORMATION_CLASS kind) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const UniqueHandle owned(token);
  DWORD size = 0;
  ::GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  // TOKEN_USER and TOKEN_OWNER both begin with the SID's address.
  PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                               : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
  if (sid == nullptr || !::IsValidSid(sid)) return {};
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return {bytes, bytes + ::GetLengthSid(sid)};
}

bool SameSid(PSID sid, const std::vector<unsigned char>& ours) {
  return !ours.empty() && sid != nullptr &&
         ::EqualSid(sid, const_cast<unsigned char*>(ours.data()));
}

}  // namespace

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    handle_ = other.Release();
  }
  return *this;
}

HANDLE UniqueHandle::Release() {
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return handle;
}

void UniqueHandle::Reset() {
  if (Valid()) ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

const std::vector<unsigned char>& CurrentUserSid() {
  static const std::vector<unsigned char> sid = TokenSid(TokenUser);
  return sid;
}

const std::vector<unsigned char>& DefaultOwnerSid() {
  static const std::vector<unsigned char> sid = TokenSid(TokenOwner);
  return sid;
}

bool IsOurSid(PSID sid) {
  return SameSid(sid, CurrentUserSid()) || SameSid(sid, DefaultOwnerSid());
}

bool IsSystemSid(PSID sid) { return sid != nullptr && ::IsWellKnownSid(sid, WinLocalSystemSid); }

PrivateSecurity::PrivateSecurity(bool folder) {
  const std::vector<unsigned char>& user = CurrentUserSid();
  if (user.empty()) return;
  PSID sid = const_cast<unsigned char*>(user.data());
  unsigned char systemSid[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof systemSid;
  if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize)) return;
  const auto size = static_cast<DWORD>(sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) +
                                        ::GetLengthSid(sid) + systemSize);
  acl_.assign(size, 0);
  const DWORD inherit = folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
  valid_ = ::InitializeAcl(Acl(), size, ACL_REVISION) &&
           ::AddAccessAllowedAceEx(Acl(), ACL_REVISION, inherit, FILE_ALL_ACCESS, sid) &&
           ::AddAccessAllowedAceEx(Acl(), ACL_REVISION, inherit, FILE_ALL_ACCESS, systemSid) &&
           ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           ::SetSecurityDescriptorDacl(&descriptor_, TRUE, Acl(), FALSE) &&
           // Protected: the parent's inheritable entries are not merged in.
           ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
}

DWORD MakePrivate(HANDLE handle, bool folder) {
  PrivateSecurity security(folder);
  if (!security.Valid()) return ERROR_INVALID_SID;
  // The object's own list only: no walk through a folder's contents.
  if (::SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION |
                                            PROTECTED_DACL_SECURITY_INFORMATION,
                                security.Descriptor())) {
    return ERROR_SUCCESS;
  }
  // Systems that take protection from the descriptor's control bits alone.
  return ::SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, security.Descriptor())
             ? ERROR_SUCCESS
             : ::GetLastError();
}

bool GrantsOthers(PACL acl) {
  if (acl == nullptr) return true;  // no list at all: everyone may do anything
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(acl, i, &entry)) return true;
    const auto* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      // Denials take nothing away from privacy; any other grant is unknown.
      if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
      return true;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if (!SameSid(&allowed->SidStart, CurrentUserSid()) && !IsSystemSid(&allowed->SidStart)) {
      return true;
    }
  }
  return false;
}

UniqueHandle OpenEntry(const std::filesystem::path& path, DWORD access, DWORD share) {
  return UniqueHandle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
}

std::wstring RandomHex() {
  unsigned char bytes[16];
  if (::BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) {
    return {};
  }
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (const unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

NativeFile OpenPrivateRegularFile(const std::filesystem::path& path, DWORD access) {
  PrivateSecurity security(false);
  const HANDLE file =
      CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  security.Attributes(), OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return kNoFile;
  }
  BY_HANDLE_FILE_INFORMATION about{};
  if (!GetFileInformationByHandle(file, &about) ||
      (about.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(file);
    errno = ELOOP;
    return kNoFile;
  }
  return FileOf(file);
}

}  // namespace platform::win32
