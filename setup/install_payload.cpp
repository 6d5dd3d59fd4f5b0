#include <setup/install_payload.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <package/zip_reader.h>
#include <platform/os_encoding.h>

namespace fs = std::filesystem;

namespace setup {

namespace {

// A unique, private (0700) folder beside target, or empty on failure.
fs::path MakeStagingFolder(const fs::path& target, const char* purpose) {
  std::string pattern =
      (target.parent_path() / ("." + target.filename().string() + "." + purpose + "-XXXXXX"))
          .string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

void RemoveTree(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);  // removes links themselves, never what they point to
}

bool Unpack(const std::uint8_t* zip, std::size_t size, const fs::path& folder,
            std::string* reason) {
  HZIP archive = ZipOpenMemory(zip, size, nullptr, platform::WidePath(folder));
  if (archive == nullptr) {
    *reason = "the payload is not a readable zip archive";
    return false;
  }
  ZipEntry entry;
  ZipItemInfo(archive, -1, &entry);
  const int count = entry.index;
  bool ok = count > 0;
  if (!ok) *reason = "the payload is empty";
  for (int i = 0; ok && i < count; ++i) {
    ZRESULT result = ZipItemInfo(archive, i, &entry);
    if (result == ZR_OK) result = ZipExtractItemToFile(archive, i, entry.name);
    if (result != ZR_OK) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08x", result);
      *reason = "unpacking \"" + platform::WideToOsNarrow(entry.name) + "\" failed (" + code + ")";
      ok = false;
    }
  }
  ZipClose(archive);
  return ok;
}

// Puts staged in target's place. On success *old names what stood at target
// before (empty when nothing did).
bool SwapIn(const fs::path& staged, const fs::path& target, fs::path* old, std::string* reason) {
  struct stat st;
  if (::lstat(target.c_str(), &st) != 0) {
    if (errno == ENOENT && ::rename(staged.c_str(), target.c_str()) == 0) return true;
    *reason = "cannot put the install in place: " + std::string(std::strerror(errno));
    return false;
  }
  // One atomic exchange where the file system offers it.
  if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
    *old = staged;
    return true;
  }
  // Otherwise two renames: the old one moves aside into a private folder first.
  const fs::path aside = MakeStagingFolder(target, "old");
  if (aside.empty() || ::rename(target.c_str(), (aside / "install").c_str()) != 0) {
    *reason = "cannot move the older install aside: " + std::string(std::strerror(errno));
    if (!aside.empty()) RemoveTree(aside);
    return false;
  }
  if (::rename(staged.c_str(), target.c_str()) != 0) {
    *reason = "cannot put the install in place: " + std::string(std::strerror(errno));
    ::rename((aside / "install").c_str(), target.c_str());
    RemoveTree(aside);
    return false;
  }
  *old = aside;
  return true;
}

}  // namespace

bool InstallPayload(const std::uint8_t* zip, std::size_t size, const fs::path& target,
                    std::string* reason) {
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  const fs::path staged = MakeStagingFolder(target, "setup");
  if (staged.empty()) {
    *reason = "cannot make a folder beside " + target.string() + ": " + std::strerror(errno);
    return false;
  }
  fs::path old;
  if (!Unpack(zip, size, staged, reason) || !SwapIn(staged, target, &old, reason)) {
    RemoveTree(staged);
    return false;
  }
  if (!old.empty()) RemoveTree(old);
  return true;
}

}  // namespace setup
