#include <setup/install_payload.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <package/path_beneath.h>
#include <package/zip_reader.h>
#include <platform/os_encoding.h>
#include <setup/payload_links.h>

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

struct PendingLink {
  std::string name;
  std::string target;
};

// A link entry's target: its data, of a length a path can have.
bool ReadLinkTarget(HZIP archive, const ZipEntry& entry, const std::string& name,
                    std::string* target, std::string* reason) {
  if (entry.uncompressedSize == 0 || entry.uncompressedSize >= PATH_MAX) {
    *reason = "the link \"" + name + "\" has no usable target";
    return false;
  }
  target->assign(static_cast<std::size_t>(entry.uncompressedSize), '\0');
  if (ZipExtractItem(archive, entry.index, target->data(),
                     static_cast<std::uint32_t>(target->size()), ZIP_MEMORY) != ZR_OK) {
    *reason = "reading the link \"" + name + "\" failed";
    return false;
  }
  return true;
}

// Links come last, each checked first: no file entry is ever written
// through one, and a link standing where another entry needs a folder
// fails rather than being replaced. Their folders are all made before the
// first link, so a link named like one of them fails too.
bool MakeLinks(const fs::path& folder, const std::vector<PendingLink>& links, std::string* reason) {
  if (links.empty()) return true;
  const int root = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (root < 0) {
    *reason = "cannot open the unpacked folder: " + std::string(std::strerror(errno));
    return false;
  }
  bool ok = true;
  for (const PendingLink& link : links) {
    const std::size_t slash = link.name.rfind('/');
    if (slash == std::string::npos) continue;
    const int made = OpenFolderBeneath(root, link.name.substr(0, slash));
    if (made < 0) {
      *reason = "cannot make the folder of the link \"" + link.name + "\"";
      ok = false;
      break;
    }
    ::close(made);
  }
  for (std::size_t i = 0; ok && i < links.size(); ++i) {
    ok = setup::MakeLinkBeneath(root, links[i].name, links[i].target, reason);
  }
  ::close(root);
  return ok;
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
  std::vector<PendingLink> links;
  for (int i = 0; ok && i < count; ++i) {
    ZRESULT result = ZipItemInfo(archive, i, &entry);
    if (result == ZR_OK && (entry.unixMode & S_IFMT) == S_IFLNK) {
      PendingLink link{platform::WideToOsNarrow(entry.name), {}};
      ok = !link.name.empty() && link.name.back() != '/';
      if (!ok) *reason = "a link entry has no usable name";
      ok = ok && ReadLinkTarget(archive, entry, link.name, &link.target, reason) &&
           setup::LinkTargetStaysInside(link.name, link.target, reason);
      if (ok) links.push_back(std::move(link));
      continue;
    }
    if (result == ZR_OK) result = ZipExtractItemToFile(archive, i, entry.name);
    if (result != ZR_OK) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08x", result);
      *reason = "unpacking \"" + platform::WideToOsNarrow(entry.name) + "\" failed (" + code + ")";
      ok = false;
    }
  }
  ZipClose(archive);
  return ok && MakeLinks(folder, links, reason);
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
