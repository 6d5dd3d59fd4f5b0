#include <platform/atomic_file.h>

#include <windows.h>
#include <aclapi.h>

#include <cerrno>
#include <string>
#include <vector>

#include "file_util.h"
#include "win32_files.h"

namespace platform {
namespace {

using win32::ErrnoOf;
using win32::UniqueHandle;

// A reader or a virus scanner holding the old file without delete sharing
// blocks the replace for a moment: the attempt is repeated a few times.
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplacePauseMs = 50;

DWORD WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const DWORD piece = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), piece, &written, nullptr)) return ::GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    data.remove_prefix(written);
  }
  return ERROR_SUCCESS;
}

// The new file, private and exclusive, under an unguessable name beside the
// target: the same volume, so the rename is one step.
UniqueHandle CreateTemporary(const std::filesystem::path& path, std::filesystem::path& temp,
                             DWORD& error) {
  win32::PrivateSecurity security(false);
  if (!security.Valid()) {
    error = ERROR_INVALID_SID;
    return {};
  }
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::wstring random = win32::RandomHex();
    if (random.empty()) break;
    temp = path.parent_path() / (L"." + path.filename().native() + L"." + random + L".tmp");
    UniqueHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, security.Attributes(),
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid()) return file;
    error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  }
  if (error == ERROR_SUCCESS) error = ERROR_GEN_FAILURE;
  return {};
}

bool IsFolder(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

DWORD Replace(const std::filesystem::path& temp, const std::filesystem::path& path) {
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    // Write-through: the rename is on disk when the call returns. A link
    // standing at path is replaced itself, never written through.
    if (::MoveFileExW(temp.c_str(), path.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return ERROR_SUCCESS;
    }
    error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
        error != ERROR_ACCESS_DENIED) {
      break;
    }
    ::Sleep(kReplacePauseMs);
  }
  return error;
}

// Creates path, the folder, unless it is there; ERROR_SUCCESS when it is a
// folder afterwards.
DWORD CreateOneFolder(const std::filesystem::path& path, win32::PrivateSecurity& security) {
  if (::CreateDirectoryW(path.c_str(), security.Attributes())) return ERROR_SUCCESS;
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return error;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

}  // namespace

int WriteFileAtomically(const std::filesystem::path& path, std::string_view data) {
  if (path.filename().empty()) return EISDIR;
  if (IsFolder(path)) return EISDIR;  // a folder is never replaced
  std::filesystem::path temp;
  DWORD error = ERROR_SUCCESS;
  UniqueHandle file = CreateTemporary(path, temp, error);
  if (!file.Valid()) return ErrnoOf(error);
  error = WriteAll(file.Get(), data);
  if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.Get())) error = ::GetLastError();
  file.Reset();
  if (error == ERROR_SUCCESS) error = Replace(temp, path);
  if (error != ERROR_SUCCESS) {
    ::DeleteFileW(temp.c_str());
    return ErrnoOf(error);
  }
  return 0;
}

int CreatePrivateFolders(const std::filesystem::path& folder) {
  if (folder.empty()) return ENOENT;
  // Only what is missing is made: the nearest existing ancestor (a drive,
  // a share, a folder we may not write to) is left as it is.
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path probe = folder;
       ::GetFileAttributesW(probe.c_str()) == INVALID_FILE_ATTRIBUTES && probe.has_relative_path();
       probe = probe.parent_path()) {
    if (!probe.filename().empty()) missing.push_back(probe);
  }
  win32::PrivateSecurity security(true);
  if (!security.Valid()) return EACCES;
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (const DWORD error = CreateOneFolder(*it, security); error != ERROR_SUCCESS) {
      return ErrnoOf(error);
    }
  }
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ErrnoOf(::GetLastError());
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
}

int CreateOwnPrivateFolder(const std::filesystem::path& folder) {
  if (const int error = CreatePrivateFolders(folder); error != 0) return error;
  UniqueHandle handle = win32::OpenEntry(folder, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!handle.Valid()) return ErrnoOf(::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.Get(), &info)) return ErrnoOf(::GetLastError());
  // A link standing for the folder is left alone, as is someone else's folder.
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return 0;
  PSID owner = nullptr;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle.Get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return EACCES;
  }
  const bool reclaim = win32::IsOurSid(owner) && win32::GrantsOthers(acl);
  ::LocalFree(descriptor);
  if (!reclaim) return 0;
  return ErrnoOf(win32::MakePrivate(handle.Get(), true));
}

}  // namespace platform
