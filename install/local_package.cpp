#include <install/local_package.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <package/package_digest.h>
#include <package/package_unpack.h>
#include <package/zip_source.h>
#include <platform/os_encoding.h>

namespace {

// Closes the user's file however the step ends.
struct OpenFile {
  int fd = -1;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

// A zip starts with a local entry header, or with the end record when it
// holds nothing; anything else (a renamed document, a download page saved
// by a browser) is not a package at all.
bool StartsLikeZip(int fd) {
  char head[4];
  if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return false;
  return std::memcmp(head, "PK\x03\x04", 4) == 0 || std::memcmp(head, "PK\x05\x06", 4) == 0;
}

}  // namespace

LocalPackageFile LookAtLocalPackage(const std::wstring& path) {
  if (path.empty()) return LocalPackageFile::Missing;
  const std::string narrow = platform::WideToOsNarrow(path);
  struct stat st {};
  if (::stat(narrow.c_str(), &st) != 0) {
    return errno == EACCES ? LocalPackageFile::Unreadable : LocalPackageFile::Missing;
  }
  if (!S_ISREG(st.st_mode)) return LocalPackageFile::NotAFile;
  OpenFile file{::open(narrow.c_str(), O_RDONLY | O_CLOEXEC)};
  return file.fd < 0 ? LocalPackageFile::Unreadable : LocalPackageFile::Usable;
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
  OpenFile file{
      ::open(platform::WideToOsNarrow(installation.localPackage).c_str(), O_RDONLY | O_CLOEXEC)};
  struct stat st {};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    return FaultOutcome(PackageFault::LocalUnreadable);
  }
  switch (CheckDescriptorDigest(file.fd, installation.packageSha256, cancel)) {
    case DigestCheck::Match:
      break;
    case DigestCheck::Mismatch:
      return FaultOutcome(PackageFault::LocalMismatch);
    case DigestCheck::Unreadable:
      return FaultOutcome(PackageFault::LocalUnreadable);
    case DigestCheck::Cancelled:
      return FaultOutcome(PackageFault::Cancelled);
  }
  if (!StartsLikeZip(file.fd)) return FaultOutcome(PackageFault::LocalNotZip);
  if (::lseek(file.fd, 0, SEEK_SET) != 0) return FaultOutcome(PackageFault::LocalUnreadable);
  std::shared_ptr<ZipSource> source = OpenDescriptorSource(file.fd, nullptr);
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
