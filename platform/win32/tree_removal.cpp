#include <platform/tree_removal.h>

#include <windows.h>
#include <io.h>

#include <vector>
#include <cwchar>

#include "file_util.h"

namespace platform {
namespace {

using win32::UniqueHandle;

// Each entry is held open without delete sharing while we work on it, so
// nobody can rename it away and put a link in its place; a link itself is
// opened as the link (never its target) and removed as one.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// FileDispositionInfoEx (Windows 10 1607 on), which the headers show only
// to builds that require that version; older systems refuse it.
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// A read-only entry refuses to be deleted until the attribute is gone.
void ClearReadOnly(HANDLE entry, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return;
  FILE_BASIC_INFO basic{};  // zero times: left as they are
  basic.FileAttributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  ::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
}

// The entry goes when its last handle closes; with POSIX semantics (recent
// Windows) its name goes at once, even while others still hold it open.
bool MarkForDeletion(HANDLE entry) {
  FILE_DISPOSITION_INFO_EX posix{FILE_DISPOSITION_FLAG_DELETE |
                                 FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
  if (::SetFileInformationByHandle(entry, kDispositionInfoEx, &posix, sizeof posix)) {
    return true;
  }
  FILE_DISPOSITION_INFO classic{TRUE};
  return ::SetFileInformationByHandle(entry, FileDispositionInfo, &classic, sizeof classic) != 0;
}

// The names in a folder, read through a handle of our own: a listing by
// path (FindFirstFileW) would clash with the delete access we hold.
bool ListNames(const std::filesystem::path& folder, std::vector<std::wstring>& names) {
  const UniqueHandle listing = win32::OpenEntry(
      folder, FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!listing.Valid()) return false;
  alignas(8) unsigned char buffer[64 * 1024];
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
       kind = FileIdBothDirectoryInfo) {
    if (!::GetFileInformationByHandleEx(listing.Get(), kind, buffer, sizeof buffer)) {
      return ::GetLastError() == ERROR_NO_MORE_FILES;
    }
    for (std::size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
      const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.emplace_back(name);
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
}

bool Remove(const std::filesystem::path& path) {
  UniqueHandle entry = win32::OpenEntry(path, kAccess, kShare);
  if (!entry.Valid()) return Missing(::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(entry.Get(), &info)) return false;
  const DWORD attributes = info.dwFileAttributes;
  bool ok = true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    // Listed whole first: a listing read while its entries go may skip some.
    std::vector<std::wstring> names;
    ok = ListNames(path, names);
    for (const std::wstring& name : names) ok = Remove(path / name) && ok;
  }
  ClearReadOnly(entry.Get(), attributes);
  return MarkForDeletion(entry.Get()) && ok;
}

}  // namespace

bool RemoveTreeIn(int folderFd, const std::string& name) {
  // A C runtime descriptor that wraps a folder's handle (_open_osfhandle).
  const auto folder = reinterpret_cast<HANDLE>(::_get_osfhandle(folderFd));
  if (folder == INVALID_HANDLE_VALUE || name.empty()) return false;
  std::wstring where(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(folder, where.data(),
                                                     static_cast<DWORD>(where.size()), 0);
    if (length == 0) return false;
    if (length < where.size()) {
      where.resize(length);
      break;
    }
    where.resize(length + 1);
  }
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                         static_cast<int>(name.size()), nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                        static_cast<int>(name.size()), wide.data(), size);
  // Some systems count the closing zero in: the path ends at the first one.
  where.resize(std::wcslen(where.c_str()));
  const std::filesystem::path child(wide);
  if (child.has_parent_path() || wide == L"." || wide == L"..") return false;  // one name only
  return Remove(std::filesystem::path(where) / child);
}

bool RemoveTree(const std::filesystem::path& path) {
  if (path.empty() || !path.has_filename()) return false;
  return Remove(path);
}

bool RemoveEmptyFolder(const std::filesystem::path& path) {
  if (path.empty() || !path.has_filename()) return false;
  UniqueHandle entry = win32::OpenEntry(path, kAccess, kShare);
  if (!entry.Valid()) return Missing(::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(entry.Get(), &info)) return false;
  // A link standing there is not the folder, however empty its target.
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  return MarkForDeletion(entry.Get());  // refused while anything is inside
}

}  // namespace platform
