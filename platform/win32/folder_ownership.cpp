#include <platform/folder_ownership.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <platform/os_encoding.h>

#include "file_util.h"

namespace platform {
namespace {

// Rights that let someone put a program into the folder or take it over.
constexpr ACCESS_MASK kChangeRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                      DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                      GENERIC_ALL;

// The accounts that may change anything on the machine anyway (as root may
// on POSIX), and the creator of a file, who is whoever may already write.
bool Trusted(PSID sid) {
  if (win32::IsOurSid(sid) || ::IsWellKnownSid(sid, WinLocalSystemSid) ||
      ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
      ::IsWellKnownSid(sid, WinCreatorOwnerSid)) {
    return true;
  }
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return false;
  static constexpr std::wstring_view kTrustedInstaller =
      L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const bool installer = text == kTrustedInstaller;
  ::LocalFree(text);
  return installer;
}

// Entries that only pass down count too: they would let others change the
// programs made inside.
bool OthersMayChange(PACL acl) {
  if (acl == nullptr) return true;  // no list: everyone may do anything
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(acl, i, &entry)) return true;
    const auto* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;  // a grant we cannot judge
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & kChangeRights) != 0 && !Trusted(&allowed->SidStart)) return true;
  }
  return false;
}

}  // namespace

bool IsFolderOurOwn(const std::wstring& path) {
  std::wstring trimmed = path;
  // A trailing separator names the same folder; "C:\" keeps its own.
  while (trimmed.size() > 1 && (trimmed.back() == L'\\' || trimmed.back() == L'/') &&
         !(trimmed.size() == 3 && trimmed[1] == L':')) {
    trimmed.pop_back();
  }
  if (trimmed.empty()) return false;
  const win32::UniqueHandle folder =
      win32::OpenEntry(OsPath(trimmed), READ_CONTROL | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!folder.Valid()) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(folder.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  PSID owner = nullptr;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool ours = win32::IsOurSid(owner) && !OthersMayChange(acl);
  ::LocalFree(descriptor);
  return ours;
}

}  // namespace platform

namespace platform {

std::optional<ObjectIdentity> IdentityAt(const std::wstring& path) {
  if (path.empty()) return std::nullopt;
  // The object itself: a junction or symbolic link is opened, not followed.
  win32::UniqueHandle handle(::CreateFileW(
      OsPath(path).c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.Valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ObjectIdentity{};
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION about{};
  if (!::GetFileInformationByHandle(handle.Get(), &about)) return std::nullopt;
  ObjectIdentity identity;
  identity.kind = (about.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ObjectKind::Link
                  : (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? ObjectKind::Folder
                                                                          : ObjectKind::File;
  identity.device = about.dwVolumeSerialNumber;
  identity.index = (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
  return identity;
}

}  // namespace platform
