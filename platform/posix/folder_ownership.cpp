#include <platform/folder_ownership.h>

#include <sys/stat.h>
#include <unistd.h>

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
