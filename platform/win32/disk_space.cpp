#include <platform/disk_space.h>

#include <windows.h>

#include <filesystem>
#include <set>
#include <utility>

#include <platform/os_encoding.h>

#include "file_util.h"

namespace platform {
namespace {

constexpr int kMaxDepth = 128;
// A folder is held open without delete sharing while it is listed: it
// cannot be swapped for a link meanwhile.
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kFileShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

struct SizeWalk {
  std::uint64_t bytes = 0;
  std::set<std::pair<DWORD, std::uint64_t>> seen;  // files with several names

  void Count(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
    if (info.nNumberOfLinks > 1) {
      const std::uint64_t index =
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
      if (!seen.emplace(info.dwVolumeSerialNumber, index).second) return;
    }
    FILE_STANDARD_INFO standard{};
    if (::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) &&
        standard.AllocationSize.QuadPart > 0) {
      bytes += static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
    }
  }

  // Counts the entry itself; a folder is walked, a link is never entered.
  void Visit(const std::filesystem::path& path, int depth) {
    const bool mayBeFolder = depth < kMaxDepth;
    const win32::UniqueHandle entry =
        win32::OpenEntry(path, FILE_READ_ATTRIBUTES, mayBeFolder ? kFolderShare : kFileShare);
    // Gone since the listing, in use, or unreadable: it counts nothing.
    if (!entry.Valid()) return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(entry.Get(), &info) || IsLink(info.dwFileAttributes)) {
      return;
    }
    if (!IsFolder(info.dwFileAttributes)) {
      Count(entry.Get(), info);
      return;
    }
    if (!mayBeFolder) return;
    WIN32_FIND_DATAW found{};
    HANDLE listing = ::FindFirstFileExW((path / L"*").c_str(), FindExInfoBasic, &found,
                                        FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring_view name = found.cFileName;
      if (name == L"." || name == L".." || IsLink(found.dwFileAttributes)) continue;
      Visit(path / found.cFileName, IsFolder(found.dwFileAttributes) ? depth + 1 : kMaxDepth);
    } while (::FindNextFileW(listing, &found));
    ::FindClose(listing);
  }
};

}  // namespace

std::uint64_t SizeOnDisk(const std::wstring& path) {
  const std::filesystem::path top = OsPath(path);
  if (top.empty()) return 0;
  SizeWalk walk;
  walk.Visit(top, 0);
  return walk.bytes;
}

std::optional<std::uint64_t> FreeDiskSpace(const std::wstring& path) {
  std::error_code ec;
  std::filesystem::path probe = std::filesystem::absolute(OsPath(path), ec);
  if (ec) return std::nullopt;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  for (;;) {
    attributes = ::GetFileAttributesW(probe.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES || !probe.has_relative_path()) break;
    probe = probe.parent_path();
  }
  // The call measures a folder: a file's own folder stands for it.
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsFolder(attributes)) probe = probe.parent_path();
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(probe.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return static_cast<std::uint64_t>(available.QuadPart);
}

}  // namespace platform
