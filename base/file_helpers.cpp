#include <base/file_helpers.h>

#include <filesystem>

#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/whole_file.h>

namespace fs = std::filesystem;

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  // Empty content still replaces the file, but counts as nothing written.
  return platform::WriteFileAtomically(platform::OsPath(path), bytes) == 0 && !bytes.empty();
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  return platform::ReadWholeFileExact(platform::OsPath(path), bytes);
}

bool DirectoryExists(const std::wstring& path) {
  std::error_code ec;
  return fs::is_directory(platform::OsPath(path), ec);
}

bool FileExists(const std::wstring& path) {
  const fs::path osPath = platform::OsPath(path);
  std::error_code ec;
  const fs::file_status status = fs::status(osPath, ec);
  if (!ec) return fs::exists(status) && !fs::is_directory(status);
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory ||
      ec == std::errc::filename_too_long || ec == std::errc::invalid_argument) {
    return false;
  }
  // The entry cannot be examined (no search permission, say): look for it in
  // its folder's listing instead.
  for (const auto& entry : fs::directory_iterator(osPath.parent_path(), ec)) {
    if (entry.path().filename() == osPath.filename()) {
      std::error_code typeError;
      return !entry.is_directory(typeError);
    }
  }
  return false;
}

bool CreateDirectoryTree(const std::wstring& path) {
  if (path.empty()) return false;
  // Folders we make are the user's alone; another process making one of
  // them meanwhile is fine.
  return platform::CreatePrivateFolders(platform::OsPath(path)) == 0;
}
