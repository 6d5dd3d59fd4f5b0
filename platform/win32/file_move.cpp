#include <platform/file_move.h>

#include <windows.h>

#include <vector>

#include "file_util.h"

namespace platform {
namespace {

using win32::UniqueHandle;

DWORD CopyBytes(HANDLE in, HANDLE out) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return ::GetLastError();
    }
    if (got == 0) return ERROR_SUCCESS;
    for (DWORD done = 0; done < got;) {
      DWORD written = 0;
      if (!::WriteFile(out, buffer.data() + done, got - done, &written, nullptr)) {
        return ::GetLastError();
      }
      if (written == 0) return ERROR_WRITE_FAULT;
      done += written;
    }
  }
}

// Copies into a temporary name beside the destination and renames it into
// place once every byte is on disk: the final name never holds a partial
// copy, whatever happens to the process or the machine mid-way. The copy
// takes the destination folder's access rules, as a file made there would.
DWORD CopyIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  UniqueHandle in(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.Valid()) return ::GetLastError();
  const std::wstring random = win32::RandomHex();
  if (random.empty()) return ERROR_GEN_FAILURE;
  const std::filesystem::path temp =
      to.parent_path() / (L"." + to.filename().native() + L"." + random + L".tmp");
  UniqueHandle out(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.Valid()) return ::GetLastError();
  DWORD error = CopyBytes(in.Get(), out.Get());
  if (error == ERROR_SUCCESS && !::FlushFileBuffers(out.Get())) error = ::GetLastError();
  out.Reset();
  in.Reset();
  // Without MOVEFILE_REPLACE_EXISTING a name taken meanwhile is kept.
  if (error == ERROR_SUCCESS && !::MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    error = ::GetLastError();
  }
  if (error != ERROR_SUCCESS) ::DeleteFileW(temp.c_str());
  return error;
}

}  // namespace

Status MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // No MOVEFILE_COPY_ALLOWED: that copy would write the final name directly.
  DWORD error = ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)
                    ? ERROR_SUCCESS
                    : ::GetLastError();
  if (error == ERROR_NOT_SAME_DEVICE) {
    error = ::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES ? ERROR_ALREADY_EXISTS
                                                                       : CopyIntoPlace(from, to);
    if (error == ERROR_SUCCESS) ::DeleteFileW(from.c_str());
  }
  if (error == ERROR_FILE_EXISTS) return kErrorAlreadyExists;
  return static_cast<Status>(error);
}

}  // namespace platform
