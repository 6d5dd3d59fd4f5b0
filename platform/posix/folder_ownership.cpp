#include <platform/folder_ownership.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <platform/os_encoding.h>

namespace platform {

bool IsFolderOurOwn(const std::wstring& path) {
  std::string os = OsPath(path).native();
  // A trailing slash would make lstat follow a final link.
  while (os.size() > 1 && os.back() == '/') os.pop_back();
  if (os.empty()) return false;
  struct stat info {};
  if (::lstat(os.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  // A shared folder such as /tmp is writable by others despite its sticky
  // bit: anyone may place a program there before we do.
  return info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace platform

namespace platform {

std::optional<ObjectIdentity> IdentityAt(const std::wstring& path) {
  std::string os = OsPath(path).native();
  while (os.size() > 1 && os.back() == '/') os.pop_back();
  struct stat info {};
  if (os.empty()) return std::nullopt;
  if (::lstat(os.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ObjectIdentity{};
    return std::nullopt;
  }
  ObjectIdentity identity;
  identity.kind = S_ISDIR(info.st_mode)   ? ObjectKind::Folder
                  : S_ISREG(info.st_mode) ? ObjectKind::File
                  : S_ISLNK(info.st_mode) ? ObjectKind::Link
                                          : ObjectKind::Other;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.index = static_cast<std::uint64_t>(info.st_ino);
  return identity;
}

}  // namespace platform
