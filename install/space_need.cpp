#include <install/space_need.h>

#include <filesystem>

#include <package/zip_reader.h>
#include <platform/os_encoding.h>

namespace {

// The sum of the entries' unpacked sizes; 0 when the archive cannot be read.
std::uint64_t UnpackedBytes(const std::wstring& archive) {
  HZIP zip = ZipOpenFile(archive, nullptr);
  if (zip == nullptr) return 0;
  ZipEntry entry;
  ZipItemInfo(zip, -1, &entry);
  const int count = entry.index;
  std::uint64_t total = 0;
  for (int i = 0; i < count; ++i) {
    if (ZipItemInfo(zip, i, &entry) == ZR_OK) total += entry.uncompressedSize;
  }
  ZipClose(zip);
  return total;
}

}  // namespace

std::uint64_t PackageFootprintBytes(const std::wstring& keptArchive) {
  std::error_code ec;
  const bool kept = std::filesystem::is_regular_file(platform::OsPath(keptArchive), ec);
  const std::uint64_t unpacked = kept ? UnpackedBytes(keptArchive) : 0;
  // No usable archive yet: it is downloaded, then unpacked.
  if (unpacked == 0) return kPackageEstimateBytes * 2 + kInstalledProgramsBytes;
  return unpacked + kInstalledProgramsBytes;
}
