#include <platform/folder_steps.h>

#include <aclapi.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <platform/utf.h>
#include <platform/win32/file_util.h>
#include <platform/win32/win32_files.h>

namespace platform {

using win32::FileOf;
using win32::HandleOf;
using win32::SetErrnoFromLastError;
using win32::SetErrnoFromStatus;
using win32::StepName;

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A link is opened as itself, never as what it points at.
constexpr ULONG kAsItself = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
constexpr ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kCreate = 2;         // FILE_CREATE
constexpr ULONG kOpen = 1;           // FILE_OPEN
constexpr ULONG kOpenOrCreate = 3;   // FILE_OPEN_IF

// name in dir, reached by the handle: the kernel resolves one step only
// and, with FILE_OPEN_REPARSE_POINT, never through a junction or link.
// security, when given, is what a new entry is made with.
HANDLE OpenStep(HANDLE dir, const std::wstring& name, ACCESS_MASK access, ULONG disposition,
                ULONG options, PSECURITY_DESCRIPTOR security = nullptr) {
  UNICODE_STRING object{};
  object.Buffer = const_cast<PWSTR>(name.c_str());
  object.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  object.MaximumLength = object.Length;
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = dir;
  attributes.ObjectName = &object;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  attributes.SecurityDescriptor = security;
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                   kShareAll, disposition, options | kAsItself, nullptr, 0);
  if (status < 0) {
    SetErrnoFromStatus(status);
    return nullptr;
  }
  return handle;
}

// A mode that gives the group and others nothing means the user's alone,
// as it does on POSIX: the private access list. Other modes inherit what
// the folder passes down, as the umask would shape them there.
PSECURITY_DESCRIPTOR OwnerOnly(unsigned mode, win32::PrivateSecurity& security) {
  return (mode & 077) == 0 && security.Valid() ? security.Descriptor() : nullptr;
}

bool IsLink(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(HANDLE handle) {
  FILE_STANDARD_INFO standard{};
  return GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
         standard.Directory != FALSE;
}

// Marks the open entry for deletion; it goes when its last handle closes.
bool DeleteOpen(HANDLE handle) {
  FILE_BASIC_INFO basic{};
  // A read-only file cannot be deleted: the attribute goes first.
  if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
    return true;
  }
  SetErrnoFromLastError();
  return false;
}

constexpr ACCESS_MASK kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

bool RemoveTreeOf(HANDLE dir, const std::wstring& name) {
  const HANDLE entry =
      OpenStep(dir, name, kRemoveAccess | FILE_LIST_DIRECTORY | FILE_TRAVERSE, kOpen, 0);
  if (entry == nullptr) return errno == ENOENT;
  bool ok = true;
  if (!IsLink(entry) && IsFolder(entry)) {
    for (const std::string& child : FolderNames(FileOf(entry))) {
      ok = RemoveTreeOf(entry, Utf8ToWide(child)) && ok;
    }
  }
  ok = DeleteOpen(entry) && ok;
  CloseHandle(entry);
  return ok;
}

// The token's user and the owner it gives new objects (an administrator's
// elevated token gives its group).
bool IsOurs(PSID owner) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  bool ours = false;
  for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) continue;
    const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                       : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    ours = ours || EqualSid(sid, owner) != FALSE;
  }
  CloseHandle(token);
  return ours;
}

bool OwnedByUs(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool ours = owner != nullptr && IsOurs(owner);
  LocalFree(descriptor);
  return ours;
}

NativeFile OpenFolderPath(const std::filesystem::path& path, DWORD flags) {
  const HANDLE folder = CreateFileW(path.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (folder == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return kNoFile;
  }
  if (!IsFolder(folder) || ((flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0 && IsLink(folder))) {
    CloseHandle(folder);
    errno = ENOTDIR;
    return kNoFile;
  }
  return FileOf(folder);
}

}  // namespace

NativeFile OpenFolder(const std::filesystem::path& path) { return OpenFolderPath(path, 0); }

NativeFile OpenFolderNotLink(const std::filesystem::path& path) {
  return OpenFolderPath(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

NativeFile OpenChildFolder(NativeFile dir, const std::string& name, unsigned) {
  const std::wstring step = StepName(name);
  if (step.empty()) return kNoFile;
  for (int tries = 0; tries < 4; ++tries) {
    const HANDLE folder =
        OpenStep(HandleOf(dir), step, kFolderAccess, kOpenOrCreate, FILE_DIRECTORY_FILE);
    if (folder != nullptr) {
      if (!IsLink(folder)) return FileOf(folder);
      CloseHandle(folder);  // a junction or a link to a folder
    } else if (errno != ENOTDIR) {
      return kNoFile;
    }
    // Something else stands there: a link goes, a file stays and fails.
    const HANDLE entry = OpenStep(HandleOf(dir), step, kRemoveAccess, kOpen, 0);
    if (entry == nullptr) return kNoFile;
    const bool link = IsLink(entry);
    const bool removed = link && DeleteOpen(entry);
    CloseHandle(entry);
    if (!link) errno = ENOTDIR;
    if (!removed) return kNoFile;
  }
  errno = ELOOP;
  return kNoFile;
}

NativeFile OpenFolderPathBeneath(NativeFile, const std::string&) {
  // No single call here refuses links on the way: the caller walks.
  errno = ENOSYS;
  return kNoFile;
}

NativeFile OpenPrivateChildFolder(NativeFile parent, const std::string& name) {
  const std::wstring step = StepName(name);
  if (step.empty()) return kNoFile;
  // The new folder inherits the rights of the user's own data folder.
  const HANDLE folder = OpenStep(HandleOf(parent), step, kFolderAccess | READ_CONTROL,
                                 kOpenOrCreate, FILE_DIRECTORY_FILE);
  if (folder == nullptr) return kNoFile;
  if (IsLink(folder) || !OwnedByUs(folder)) {
    CloseHandle(folder);
    errno = EACCES;
    return kNoFile;
  }
  return FileOf(folder);
}

int MakeFolderIn(NativeFile dir, const std::string& name, unsigned mode) {
  const std::wstring step = StepName(name);
  if (step.empty()) return errno;
  win32::PrivateSecurity security(true);
  const HANDLE folder = OpenStep(HandleOf(dir), step, kFolderAccess, kCreate, FILE_DIRECTORY_FILE,
                                 OwnerOnly(mode, security));
  if (folder == nullptr) return errno;
  CloseHandle(folder);
  return 0;
}

NativeFile CreateNewFileIn(NativeFile dir, const std::string& name, unsigned mode) {
  const std::wstring step = StepName(name);
  if (step.empty()) return kNoFile;
  win32::PrivateSecurity security(false);
  const HANDLE file = OpenStep(HandleOf(dir), step,
                               GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                               kCreate, FILE_NON_DIRECTORY_FILE, OwnerOnly(mode, security));
  return file == nullptr ? kNoFile : FileOf(file);
}

NativeFile OpenFileIn(NativeFile dir, const std::string& name) {
  const std::wstring step = StepName(name);
  if (step.empty()) return kNoFile;
  const HANDLE file = OpenStep(HandleOf(dir), step, GENERIC_READ, kOpen, FILE_NON_DIRECTORY_FILE);
  if (file == nullptr) return kNoFile;
  if (IsLink(file)) {
    CloseHandle(file);
    errno = ELOOP;
    return kNoFile;
  }
  return FileOf(file);
}

bool RemoveIn(NativeFile dir, const std::string& name) {
  const std::wstring step = StepName(name);
  if (step.empty()) return false;
  const HANDLE entry = OpenStep(HandleOf(dir), step, kRemoveAccess, kOpen, 0);
  if (entry == nullptr) return false;
  // A folder is not this call's (a junction, being a link, is).
  if (IsFolder(entry) && !IsLink(entry)) {
    CloseHandle(entry);
    errno = EISDIR;
    return false;
  }
  const bool removed = DeleteOpen(entry);
  CloseHandle(entry);
  return removed;
}

bool RemoveTreeBeneath(NativeFile dir, const std::string& name) {
  const std::wstring step = StepName(name);
  if (step.empty()) return false;
  return RemoveTreeOf(HandleOf(dir), step);
}

std::vector<std::string> FolderNames(NativeFile dir) {
  std::vector<std::string> names;
  // Aligned for the records the system writes into it.
  std::vector<LONGLONG> buffer(64 * 1024 / sizeof(LONGLONG));
  const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(HandleOf(dir), kind, buffer.data(), bytes)) {
    kind = FileIdBothDirectoryInfo;
    const auto* base = reinterpret_cast<const unsigned char*>(buffer.data());
    for (DWORD offset = 0;;) {
      const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(base + offset);
      const std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(WideToUtf8(name));
      if (record->NextEntryOffset == 0) break;
      offset += record->NextEntryOffset;
    }
  }
  return names;
}

int RenameIn(NativeFile dir, const std::string& from, const std::string& to, RenameMode mode) {
  // No swap in one step here: the caller renames aside instead.
  if (mode == RenameMode::Exchange) return EINVAL;
  const std::wstring source = StepName(from);
  const std::wstring target = StepName(to);
  if (source.empty() || target.empty()) return EINVAL;
  const HANDLE entry = OpenStep(HandleOf(dir), source, DELETE | FILE_READ_ATTRIBUTES, kOpen, 0);
  if (entry == nullptr) return errno;
  // The new name is relative to dir too, so it stays in the same folder.
  // Straight to the kernel: SetFileInformationByHandle may make the name a
  // full path against our working folder first (Wine's does), which then
  // clashes with the root handle and fails as an invalid parameter.
  // FILE_RENAME_INFO has the layout of the kernel's FILE_RENAME_INFORMATION.
  const std::size_t size = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
  std::vector<LONGLONG> buffer(size / sizeof(LONGLONG) + 1);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = mode == RenameMode::Replace ? TRUE : FALSE;
  info->RootDirectory = HandleOf(dir);
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.data(), target.size() * sizeof(wchar_t));
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      NtSetInformationFile(entry, &io, info, static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
                           FileRenameInformation);
  const int error = status >= 0 ? 0 : SetErrnoFromStatus(status);
  CloseHandle(entry);
  return error;
}

}  // namespace platform
