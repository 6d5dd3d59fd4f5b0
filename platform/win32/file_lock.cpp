#include <platform/file_lock.h>

#include <platform/win32/win32_files.h>

namespace platform {

bool TryLockFile(NativeFile file) {
  OVERLAPPED whole{};
  if (LockFileEx(win32::HandleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                 MAXDWORD, MAXDWORD, &whole)) {
    return true;
  }
  win32::SetErrnoFromLastError();
  return false;
}

}  // namespace platform
