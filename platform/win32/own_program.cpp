#include <platform/own_program.h>

#include <windows.h>

#include <string>

#include <platform/win32/handle.h>
#include <platform/win32/own_process.h>

namespace platform {

bool MapOwnProgramFile(const std::uint8_t** data, std::size_t* size, std::string* reason) {
  const std::wstring path = win32::OwnProgramPath();
  // Shared for reading only: nobody may change the file while it is mapped.
  win32::Handle file(path.empty()
                         ? INVALID_HANDLE_VALUE
                         : CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER length{};
  if (!file.valid() || !GetFileSizeEx(file.get(), &length) || length.QuadPart <= 0) {
    *reason = "cannot read the program's own file";
    return false;
  }
  const win32::Handle mapping(
      CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const void* view =
      mapping.valid() ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (view == nullptr) {
    *reason = "cannot map the program's own file";
    return false;
  }
  *data = static_cast<const std::uint8_t*>(view);
  *size = static_cast<std::size_t>(length.QuadPart);
  return true;
}

namespace win32 {

std::wstring OwnProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace win32

}  // namespace platform
