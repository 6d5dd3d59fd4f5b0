#include "links_win32.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// REPARSE_DATA_BUFFER of a mount point, which the SDK keeps in a driver
// header: tag, sizes, then the target as the kernel and as a person read it.
struct MountPointHeader {
  DWORD tag;
  WORD dataLength;
  WORD reserved;
  WORD substituteOffset;
  WORD substituteLength;
  WORD printOffset;
  WORD printLength;
};

}  // namespace

bool MakeSymlink(const fs::path& link, const fs::path& target, bool folder) {
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (folder) flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) != 0 && IsLinkItself(link);
}

bool MakeJunction(const fs::path& link, const fs::path& target) {
  const std::wstring substitute = L"\\??\\" + fs::absolute(target).native();
  const std::wstring print = fs::absolute(target).native();
  const std::size_t substituteBytes = substitute.size() * sizeof(wchar_t);
  const std::size_t printBytes = print.size() * sizeof(wchar_t);
  const std::size_t pathBytes = substituteBytes + printBytes + 2 * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(MountPointHeader) + pathBytes, 0);
  auto* header = reinterpret_cast<MountPointHeader*>(buffer.data());
  header->tag = IO_REPARSE_TAG_MOUNT_POINT;
  header->dataLength = static_cast<WORD>(buffer.size() - 8);
  header->substituteOffset = 0;
  header->substituteLength = static_cast<WORD>(substituteBytes);
  header->printOffset = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
  header->printLength = static_cast<WORD>(printBytes);
  unsigned char* paths = buffer.data() + sizeof(MountPointHeader);
  std::copy_n(reinterpret_cast<const unsigned char*>(substitute.data()), substituteBytes, paths);
  std::copy_n(reinterpret_cast<const unsigned char*>(print.data()), printBytes,
              paths + header->printOffset);
  if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
  HANDLE folder = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  DWORD returned = 0;
  const bool made = folder != INVALID_HANDLE_VALUE &&
                    ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                                      nullptr);
  if (folder != INVALID_HANDLE_VALUE) ::CloseHandle(folder);
  if (!made) ::RemoveDirectoryW(link.c_str());
  return made && IsLinkItself(link);
}

bool IsLinkItself(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
