#include <package/download_folder.h>

#include <cstring>
#include <filesystem>

#include <config/app_constants.h>
#include <platform/atomic_file.h>
#include <platform/file_handle.h>
#include <platform/file_lock.h>
#include <platform/folder_steps.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/private_temp_file.h>
#include <platform/utf.h>

namespace {

constexpr const char* kPartialPrefix = "package-";
constexpr const char* kPartialSuffix = ".part";

bool IsPartialName(const std::string& name) {
  const std::size_t prefix = std::strlen(kPartialPrefix);
  const std::size_t suffix = std::strlen(kPartialSuffix);
  return name.size() > prefix + suffix && name.compare(0, prefix, kPartialPrefix) == 0 &&
         name.compare(name.size() - suffix, suffix, kPartialSuffix) == 0;
}

std::filesystem::path PathOf(const std::string& folder) {
  return platform::OsPath(platform::OsNarrowToWide(folder));
}

}  // namespace

std::string PrivateDownloadFolder() {
  const std::wstring base = platform::LocalAppDataFolder();
  const std::wstring product = GetAppConstants().productFolderName;
  const std::filesystem::path basePath = platform::OsPath(base);
  if (base.empty() || !basePath.is_absolute()) return {};
  // Missing levels of the data folder itself are made private too.
  (void)platform::CreatePrivateFolders(basePath);
  // The local data folder itself is the user's (it may be a link to another
  // disk); below it, both levels are checked.
  const platform::FileHandle top(platform::OpenFolder(basePath));
  if (!top.valid()) return {};
  const platform::FileHandle productFolder(
      platform::OpenPrivateChildFolder(top.get(), platform::WideToUtf8(product)));
  if (!productFolder.valid()) return {};
  const platform::FileHandle downloads(
      platform::OpenPrivateChildFolder(productFolder.get(), "downloads"));
  if (!downloads.valid()) return {};
  return platform::WideToOsNarrow(
      platform::WidePath(basePath / platform::OsPath(product) / "downloads"));
}

platform::NativeFile CreatePartialFile(const std::string& folder, std::string* path) {
  if (folder.empty()) return platform::kNoFile;
  std::filesystem::path made;
  platform::FileHandle file(
      platform::CreatePrivateTempFile(PathOf(folder), kPartialPrefix, kPartialSuffix, &made));
  if (!file.valid()) return platform::kNoFile;
  if (!platform::TryLockFile(file.get())) {
    std::error_code ec;
    std::filesystem::remove(made, ec);
    return platform::kNoFile;
  }
  *path = platform::WideToOsNarrow(platform::WidePath(made));
  return file.release();
}

int RemoveStalePartials(const std::string& folder) {
  const platform::FileHandle dir(platform::OpenFolderNotLink(PathOf(folder)));
  if (!dir.valid()) return 0;
  int removed = 0;
  for (const std::string& name : platform::FolderNames(dir.get())) {
    if (!IsPartialName(name)) continue;
    const platform::FileHandle file(platform::OpenFileIn(dir.get(), name));
    if (!file.valid()) continue;
    const std::optional<platform::FileFacts> facts = platform::FactsOf(file.get());
    // Only a regular file no transfer holds (a running one keeps its lock).
    if (facts && facts->regular && platform::TryLockFile(file.get()) &&
        platform::RemoveIn(dir.get(), name)) {
      ++removed;
    }
  }
  return removed;
}
