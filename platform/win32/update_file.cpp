#include <platform/update_file.h>

#include <windows.h>

#include <cerrno>

#include <platform/win32/file_util.h>
#include <platform/win32/win32_files.h>

namespace platform {

NativeFile OpenPrivateFileToUpdate(const std::filesystem::path& path) {
  win32::PrivateSecurity security(false);
  // A link planted at the name is opened as itself, then refused.
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security.Attributes(),
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    win32::SetErrnoFromLastError();
    return kNoFile;
  }
  BY_HANDLE_FILE_INFORMATION about{};
  if (!GetFileInformationByHandle(file, &about) ||
      (about.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(file);
    errno = ELOOP;
    return kNoFile;
  }
  return win32::FileOf(file);
}

}  // namespace platform
