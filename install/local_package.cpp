#include <install/local_package.h>

#include <cerrno>
#include <cstring>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <package/package_digest.h>
#include <package/package_unpack.h>
#include <package/zip_source.h>
#include <platform/file_handle.h>
#include <platform/os_encoding.h>

namespace {

// A zip starts with a local entry header, or with the end record when it
// holds nothing; anything else (a renamed document, a download page saved
// by a browser) is not a package at all.
bool StartsLikeZip(platform::NativeFile fd) {
  char head[4];
  if (platform::ReadAt(fd, head, sizeof head, 0) != static_cast<long long>(sizeof head)) {
    return false;
  }
  return std::memcmp(head, "PK\x03\x04", 4) == 0 || std::memcmp(head, "PK\x05\x06", 4) == 0;
}

}  // namespace

LocalPackageFile LookAtLocalPackage(const std::wstring& path) {
  if (path.empty()) return LocalPackageFile::Missing;
  const std::filesystem::path file = platform::OsPath(path);
  const std::optional<platform::FileFacts> facts = platform::FactsAt(file);
  if (!facts) return errno == EACCES ? LocalPackageFile::Unreadable : LocalPackageFile::Missing;
  if (!facts->regular) return LocalPackageFile::NotAFile;
  const platform::FileHandle opened(platform::OpenFileToRead(file));
  return opened.valid() ? LocalPackageFile::Usable : LocalPackageFile::Unreadable;
}

std::wstring LocalPackageShownName(const std::wstring& path, std::size_t maxChars) {
  std::wstring name = platform::WidePath(platform::OsPath(path).filename());
  if (name.empty()) name = path;
  if (maxChars < 3 || name.size() <= maxChars) return name;
  const std::size_t tail = (maxChars - 1) / 2;
  return name.substr(0, maxChars - 1 - tail) + L"…" + name.substr(name.size() - tail);
}

std::wstring LocalPackageFileText(LocalPackageFile look, const std::wstring& path) {
  const std::wstring name = LocalPackageShownName(path, 40);
  switch (look) {
    case LocalPackageFile::Usable:
      return std::wstring();
    case LocalPackageFile::Missing:
      return FormatWString(
          TW_TR("LocalPackage", "找不到所选的安装包“%ls”，请检查路径后重新选择。").c_str(),
          name.c_str());
    case LocalPackageFile::NotAFile:
      return FormatWString(
          TW_TR("LocalPackage", "“%ls”不是一个文件，请选择安装包（.zip 文件）。").c_str(),
          name.c_str());
    case LocalPackageFile::Unreadable:
      return FormatWString(
          TW_TR("LocalPackage", "没有权限读取所选的安装包“%ls”，请换一个位置的文件。").c_str(),
          name.c_str());
  }
  return std::wstring();
}

PackageOutcome UnpackLocalPackage(const Installation& installation,
                                  const std::atomic<bool>* cancel) {
  // Closed however the step ends; the unpacking reads through it too.
  const platform::FileHandle file(platform::OpenFileToRead(platform::OsPath(installation.localPackage)));
  const std::optional<platform::FileFacts> facts =
      file.valid() ? platform::FactsOf(file.get()) : std::nullopt;
  if (!facts || !facts->regular) return FaultOutcome(PackageFault::LocalUnreadable);
  switch (CheckDescriptorDigest(file.get(), installation.packageSha256, cancel)) {
    case DigestCheck::Match:
      break;
    case DigestCheck::Mismatch:
      return FaultOutcome(PackageFault::LocalMismatch);
    case DigestCheck::Unreadable:
      return FaultOutcome(PackageFault::LocalUnreadable);
    case DigestCheck::Cancelled:
      return FaultOutcome(PackageFault::Cancelled);
  }
  if (!StartsLikeZip(file.get())) return FaultOutcome(PackageFault::LocalNotZip);
  if (!platform::SetFilePosition(file.get(), 0)) return FaultOutcome(PackageFault::LocalUnreadable);
  std::shared_ptr<ZipSource> source = OpenDescriptorSource(file.get(), nullptr);
  if (!source) return FaultOutcome(PackageFault::LocalUnreadable);
  // Unpacked under the name the layout expects, whatever the file is called.
  const InstallLayout& layout = installation.layout;
  const std::wstring folderName =
      platform::WidePath(platform::OsPath(layout.unpackFolder).filename());
  const UnpackResult unpacked =
      UnpackSourceInto(std::move(source), folderName, layout.installFolder, cancel);
  if (PackageOutcome outcome = UnpackOutcome(unpacked, PackageFault::LocalDamaged);
      outcome.fault != PackageFault::None) {
    return outcome;
  }
  if (FileExists(layout.chatboxSetup) && FileExists(layout.ollamaSetup)) return {};
  return FaultOutcome(PackageFault::LocalNoSetup);
}
