#pragma once
// What the Windows file backends share: our NativeFile as a HANDLE, and the
// system's errors as the errno values the shared headers promise.
#include <windows.h>
#include <winternl.h>

#include <string>

#include <platform/file_handle.h>

namespace platform::win32 {

inline HANDLE HandleOf(NativeFile file) { return LongToHandle(file); }
inline NativeFile FileOf(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE || handle == nullptr ? kNoFile : HandleToLong(handle);
}

// The errno counterpart of a Windows error (EIO when there is none).
int ErrnoOf(DWORD error);
// errno set from GetLastError(); returns it.
int SetErrnoFromLastError();
// errno set from an NTSTATUS; returns it.
int SetErrnoFromStatus(NTSTATUS status);

// One step's name as UTF-16, or empty (with errno EINVAL) when it is not a
// plain name here: separators, a stream's colon, characters the file system
// refuses, and a trailing dot or blank (which also covers "." and "..").
std::wstring StepName(const std::string& utf8);

}  // namespace platform::win32
