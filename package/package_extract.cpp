#include <package/package_extract.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <package/zip_entry_info.h>
#include <package/zip_format.h>
#include <package/zip_reader.h>
#include <platform/os_encoding.h>

namespace fs = std::filesystem;

namespace {

std::wstring FolderOf(const std::wstring& archivePath) {
  std::size_t end = archivePath.size();
  while (end > 0 && !IsPathSeparator(archivePath[end - 1])) --end;
  return end == 0 ? std::wstring() : archivePath.substr(0, end - 1);
}

// One writer by default: measured on the target machines, a second thread
// creating files only adds contention in the file system. Large entries get
// their own read-ahead thread instead (see ZipPrefetcher).
unsigned ThreadCount(unsigned requested) { return requested != 0 ? requested : 1; }

}  // namespace

std::wstring PackageFolderName(const std::wstring& archivePath) {
  std::size_t start = archivePath.size();
  while (start > 0 && !IsPathSeparator(archivePath[start - 1])) --start;
  std::wstring name = archivePath.substr(start);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring ExtractArchive(const std::wstring& archivePath, const std::wstring& targetFolder,
                            const char* password, unsigned threads) {
  std::error_code ec;
  if (!fs::is_regular_file(platform::OsPath(archivePath), ec)) return {};
  fs::create_directories(platform::OsPath(targetFolder), ec);
  HZIP zip = ZipOpenFile(archivePath, password, targetFolder);
  if (zip == nullptr) return {};

  ZipEntry entry;
  ZipItemInfo(zip, -1, &entry);
  const int count = entry.index;
  std::wstring remembered;
  std::vector<int> files;
  const wchar_t separator = platform::PathSeparator();
  // Folders first, in order, so the file writers never race to make them.
  for (int i = 0; i < count; ++i) {
    if (ZipItemInfo(zip, i, &entry) != ZR_OK) continue;
    if (entry.attributes == kAttrDirectory) {
      std::wstring name = entry.name;
      // The system's own separators, as the caller shows and opens it.
      std::replace(name.begin(), name.end(), L'/', separator);
      remembered = targetFolder + separator + name;
    }
    if ((entry.attributes & kAttrDirectory) != 0) {
      ZipExtractItemToFile(zip, i, entry.name);
    } else {
      files.push_back(i);
    }
  }

  // Then the files, shared out among readers over the same mapped archive.
  const std::shared_ptr<ZipSource> source = ZipSourceOf(zip);
  std::atomic<std::size_t> next{0};
  auto work = [&](HZIP reader) {
    ZipEntry item;
    for (std::size_t k = next++; k < files.size(); k = next++) {
      if (ZipItemInfo(reader, files[k], &item) == ZR_OK) {
        ZipExtractItemToFile(reader, files[k], item.name);
      }
    }
  };
  const unsigned helpers =
      std::min<unsigned>(ThreadCount(threads) - 1, static_cast<unsigned>(files.size() / 2));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < helpers; ++t) {
    pool.emplace_back([&] {
      HZIP reader = ZipOpenSource(source, password, targetFolder);
      if (reader == nullptr) return;
      work(reader);
      ZipClose(reader);
    });
  }
  work(zip);
  for (auto& thread : pool) thread.join();
  ZipClose(zip);
  return remembered;
}

std::wstring ExtractPackage(const std::wstring& archivePath) {
  return ExtractArchive(
      archivePath,
      FolderOf(archivePath) + platform::PathSeparator() + PackageFolderName(archivePath),
      kPackagePassword);
}

std::wstring ExtractPackageTo(const std::wstring& archivePath, const std::wstring& baseFolder) {
  return ExtractArchive(archivePath,
                        baseFolder + platform::PathSeparator() + PackageFolderName(archivePath),
                        nullptr);
}
