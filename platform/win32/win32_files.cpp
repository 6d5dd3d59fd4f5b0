#include <platform/win32/win32_files.h>

#include <cerrno>

#include <platform/utf.h>

namespace platform::win32 {

namespace {
constexpr DWORD kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, not in every SDK
}  // namespace

int ErrnoOf(DWORD error) {
  if (error == kDiskQuotaExceeded) return ENOSPC;
  switch (error) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NO_UNICODE_TRANSLATION:
      return EILSEQ;
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_CANT_ACCESS_FILE:
      return ELOOP;
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
      return ENOSYS;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_BUSY:
      return EBUSY;
    default:
      return EIO;
  }
}

int SetErrnoFromLastError() {
  errno = ErrnoOf(GetLastError());
  return errno;
}

int SetErrnoFromStatus(NTSTATUS status) {
  constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103L);
  constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
  // Told apart here: Windows' error numbers fold them into others.
  if (status == kNotADirectory) {
    errno = ENOTDIR;
  } else if (status == kFileIsADirectory) {
    errno = EISDIR;
  } else {
    errno = ErrnoOf(RtlNtStatusToDosError(status));
  }
  return errno;
}

namespace {

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 (also with an extension or blanks
// before it): a Win32 path with such a name opens the device, not a file.
bool IsDeviceName(std::wstring_view name) {
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  std::wstring upper(base);
  for (wchar_t& c : upper) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL") return true;
  if (upper.size() != 4) return false;
  const std::wstring_view stem = std::wstring_view(upper).substr(0, 3);
  const wchar_t digit = upper[3];
  const bool numbered = (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' ||
                        digit == L'\u00B2' || digit == L'\u00B3';
  return numbered && (stem == L"COM" || stem == L"LPT");
}

}  // namespace

std::wstring StepName(const std::string& utf8) {
  const std::wstring name = Utf8ToWide(utf8);
  // Win32 paths drop a name's trailing dots and blanks: "..." would name the
  // folder itself there, and "a." a different entry than the one made here,
  // one no path could reach or remove. Such names are refused.
  // A device's name is refused for the same reason.
  bool plain = !name.empty() && name.back() != L'.' && name.back() != L' ' && !IsDeviceName(name);
  for (const wchar_t c : name) {
    if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) {
      plain = false;
    }
  }
  if (!plain) {
    errno = EINVAL;
    return {};
  }
  return name;
}

}  // namespace platform::win32
